// A child process for the runner's tests. It performs the actions given on its command line in
// order, for example: tool_helper out "a\n" err "b\n" sleep 0.5 exit 3
//
//   out TEXT / err TEXT        write TEXT to standard output / standard error
//   outhex HEX / errhex HEX    write the bytes spelled in hexadecimal
//   outlines N / errlines N    write "line 1\n" ... "line N\n", one write() per line
//   flood BYTES                write BYTES to each of both streams, alternating 4 KiB chunks
//   cat                        copy standard input to standard output
//   sleep SECONDS              sleep (fractions allowed)
//   ignore-term                ignore SIGTERM from now on
//   grandchild SECONDS         leave a process behind that holds both streams for SECONDS
//   close-out / close-err      close standard output / standard error
//   pidfile PATH               write the process number to PATH
//   fds                        write "fd N" for every open descriptor above 2
//   signals                    write "blocked INT TERM" / "ignored INT TERM PIPE" flags
//   raise SIGNAL               send itself the signal (a number)
//   exit CODE                  end with CODE (default 0)
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

void writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t count = ::write(fd, data, size);
    if (count < 0) {
      if (errno == EINTR) continue;
      return;
    }
    data += count;
    size -= static_cast<size_t>(count);
  }
}

void writeText(int fd, const std::string& text) {
  writeAll(fd, text.data(), text.size());
}

std::string fromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

void sleepFor(double seconds) {
  timespec wait{
      static_cast<time_t>(seconds),
      static_cast<long>((seconds - static_cast<double>(static_cast<time_t>(seconds))) * 1e9)};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

void lines(int fd, long count) {
  for (long i = 1; i <= count; ++i) {
    writeText(fd, "line " + std::to_string(i) + "\n");
    if (i % 64 == 0) sleepFor(0.0005);
  }
}

void flood(long long bytes) {
  std::vector<char> chunk(4096);
  for (size_t i = 0; i < chunk.size(); ++i)
    chunk[i] = static_cast<char>('a' + i % 26);
  for (long long done = 0; done < bytes;) {
    const size_t size = static_cast<size_t>(std::min<long long>(4096, bytes - done));
    writeAll(STDOUT_FILENO, chunk.data(), size);
    writeAll(STDERR_FILENO, chunk.data(), size);
    done += static_cast<long long>(size);
  }
}

void copyInput() {
  char buffer[65536];
  while (true) {
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    writeAll(STDOUT_FILENO, buffer, static_cast<size_t>(count));
  }
}

void listDescriptors() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) folder = opendir("/dev/fd");
  if (folder == nullptr) return;
  std::string listing;
  while (const dirent* entry = readdir(folder)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd > 2 && fd != dirfd(folder)) listing += "fd " + std::to_string(fd) + "\n";
  }
  closedir(folder);
  writeText(STDOUT_FILENO, listing);
}

void describeSignals() {
  sigset_t mask;
  sigemptyset(&mask);
  sigprocmask(SIG_BLOCK, nullptr, &mask);
  std::string text = "blocked";
  for (int signalNumber : {SIGINT, SIGTERM}) {
    if (sigismember(&mask, signalNumber)) text += " " + std::to_string(signalNumber);
  }
  text += "\nignored";
  for (int signalNumber : {SIGINT, SIGTERM, SIGPIPE}) {
    struct sigaction action {};
    sigaction(signalNumber, nullptr, &action);
    if (action.sa_handler == SIG_IGN) text += " " + std::to_string(signalNumber);
  }
  writeText(STDOUT_FILENO, text + "\n");
}

} // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string action = argv[i];
    const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
    if (action == "out") {
      writeText(STDOUT_FILENO, next());
    } else if (action == "err") {
      writeText(STDERR_FILENO, next());
    } else if (action == "outhex") {
      writeText(STDOUT_FILENO, fromHex(next()));
    } else if (action == "errhex") {
      writeText(STDERR_FILENO, fromHex(next()));
    } else if (action == "outlines") {
      lines(STDOUT_FILENO, std::stol(next()));
    } else if (action == "errlines") {
      lines(STDERR_FILENO, std::stol(next()));
    } else if (action == "flood") {
      flood(std::stoll(next()));
    } else if (action == "cat") {
      copyInput();
    } else if (action == "sleep") {
      sleepFor(std::stod(next()));
    } else if (action == "ignore-term") {
      signal(SIGTERM, SIG_IGN);
    } else if (action == "grandchild") {
      const double seconds = std::stod(next());
      if (fork() == 0) {
        sleepFor(seconds);
        _exit(0);
      }
    } else if (action == "close-out") {
      close(STDOUT_FILENO);
    } else if (action == "close-err") {
      close(STDERR_FILENO);
    } else if (action == "pidfile") {
      FILE* file = std::fopen(next().c_str(), "w");
      if (file != nullptr) {
        std::fprintf(file, "%d\n", static_cast<int>(getpid()));
        std::fclose(file);
      }
    } else if (action == "fds") {
      listDescriptors();
    } else if (action == "signals") {
      describeSignals();
    } else if (action == "raise") {
      raise(std::stoi(next()));
    } else if (action == "exit") {
      return std::stoi(next());
    } else {
      writeText(STDERR_FILENO, "tool_helper: unknown action " + action + "\n");
      return 99;
    }
  }
  return 0;
}
