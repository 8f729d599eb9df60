#include "StandInFixture.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace macsim::testing {

namespace {

std::string toolPath(const std::string& tool) {
  static const std::map<std::string, std::string> paths = {
      {"diskutil", "usr/sbin/diskutil"},
      {"spctl", "usr/sbin/spctl"},
      {"pkgutil", "usr/sbin/pkgutil"},
      {"sysctl", "usr/sbin/sysctl"},
      {"notarytool", "Library/Developer/CommandLineTools/usr/bin/notarytool"},
      {"stapler", "Library/Developer/CommandLineTools/usr/bin/stapler"}};
  auto found = paths.find(tool);
  return found != paths.end() ? found->second : "usr/bin/" + tool;
}

} // namespace

RunResult spawn(const std::string& executable, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& input) {
  std::vector<std::string> argv = {executable};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> argvPointers;
  for (auto& item : argv)
    argvPointers.push_back(item.data());
  argvPointers.push_back(nullptr);

  std::vector<std::string> env;
  for (char** item = environ; *item != nullptr; ++item) {
    const std::string entry = *item;
    const std::string key = entry.substr(0, entry.find('='));
    if (key.rfind("MACSIM_", 0) == 0 || key == "BOSUN_TOOL_ROOT" || environment.count(key))
      continue;
    env.push_back(entry);
  }
  for (const auto& [key, value] : environment)
    env.push_back(key + "=" + value);
  std::vector<char*> envPointers;
  for (auto& item : env)
    envPointers.push_back(item.data());
  envPointers.push_back(nullptr);

  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, executable.c_str(), &actions, nullptr, argvPointers.data(),
                                  envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  RunResult result;
  if (started != 0) {
    ::close(in[1]);
    ::close(out[0]);
    ::close(err[0]);
    result.err = std::strerror(started);
    return result;
  }
  if (!input.empty()) {
    const ssize_t ignored = ::write(in[1], input.data(), input.size());
    (void)ignored;
  }
  ::close(in[1]);
  struct pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char buffer[8192];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

void StandInFixture::SetUp() {
  char pattern[] = "/tmp/macsim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  base = pattern;
  root = base / "root";
  work = base / "work";
  fs::create_directories(work);
  const auto result = macsim({"init", root.string()});
  ASSERT_EQ(result.status, 0) << result.err;
}

void StandInFixture::TearDown() {
  std::error_code ignored;
  if (!base.empty()) fs::remove_all(base, ignored);
}

RunResult StandInFixture::run(const std::string& tool, const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& environment,
                              const std::string& input) const {
  return spawn((root / toolPath(tool)).string(), arguments, environment, input);
}

RunResult StandInFixture::macsim(const std::vector<std::string>& arguments) const {
  return spawn(MACSIM_BINARY, arguments, {{"BOSUN_TOOL_ROOT", root.string()}}, "");
}

void StandInFixture::writeFile(const fs::path& path, const std::string& text) const {
  fs::create_directories(path.parent_path());
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream << text;
}

std::string StandInFixture::readFile(const fs::path& path) const {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  return buffer.str();
}

std::string StandInFixture::addIdentity(const std::string& name) const {
  const auto result = macsim({"identity", "add", name});
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out.substr(0, 40);
}

fs::path StandInFixture::makeApp(const std::string& name, bool withNested) const {
  const fs::path app = work / (name + ".app");
  const fs::path contents = app / "Contents";
  writeFile(contents / "Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>CFBundleExecutable</key><string>" +
                name + "</string><key>CFBundleIdentifier</key><string>com.example." + name +
                "</string><key>CFBundleShortVersionString</key><string>1.2</string>"
                "</dict></plist>\n");
  macsim({"machO", "--arch", "x86_64", "--arch", "arm64", (contents / "MacOS" / name).string()});
  writeFile(contents / "Resources" / "readme.txt", "hello\n");
  if (withNested) {
    const fs::path framework = contents / "Frameworks" / "Kit.framework";
    macsim({"machO", "--type", "dylib", "--arch", "arm64",
            (framework / "Versions" / "A" / "Kit").string()});
    writeFile(framework / "Versions" / "A" / "Resources" / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<string>com.example.Kit</string></dict></plist>\n");
    fs::create_directory_symlink("A", framework / "Versions" / "Current");
    fs::create_symlink("Versions/Current/Kit", framework / "Kit");
    macsim({"machO", "--type", "dylib", "--arch", "arm64",
            (contents / "Frameworks" / "libextra.dylib").string()});
    const fs::path helper = contents / "Library" / "LoginItems" / "Helper.app" / "Contents";
    writeFile(helper / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
              "<string>Helper</string></dict></plist>\n");
    macsim({"machO", "--arch", "arm64", (helper / "MacOS" / "Helper").string()});
    macsim({"machO", "--arch", "arm64", (contents / "Helpers" / "tool").string()});
  }
  return app;
}

} // namespace macsim::testing
