#include "Output.hpp"

#include <cerrno>
#include <string>
#include <unistd.h>

namespace macsim {

namespace {

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text.remove_prefix(static_cast<size_t>(written));
  }
}

} // namespace

void Output::out(std::string_view text) {
  writeAll(STDOUT_FILENO, text);
}
void Output::err(std::string_view text) {
  writeAll(STDERR_FILENO, text);
}
void Output::outLine(std::string_view text) {
  out(std::string(text) + "\n");
}
void Output::errLine(std::string_view text) {
  err(std::string(text) + "\n");
}

} // namespace macsim
