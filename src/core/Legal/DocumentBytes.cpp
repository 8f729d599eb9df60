#include "core/Legal/DocumentBytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/RegularFileReader.hpp"

namespace halyard {

void DocumentBytes::refuse(const std::filesystem::path& file, const std::string& reason) {
  HalyardCoreLog::debugMessage("[Halyard] Legal document refused (" + reason +
                               "): " + file.string());
}

std::optional<std::string> DocumentBytes::readFile(const std::filesystem::path& file,
                                                   std::uintmax_t limit) {
  try {
    return RegularFileReader::read(file, limit);
  } catch (const std::exception& error) {
    refuse(file, error.what());
  }
  return std::nullopt;
}

std::optional<std::string> DocumentBytes::readHead(const std::filesystem::path& file,
                                                   std::size_t count) {
  // Not blocking on a FIFO, reading nothing but a regular file, as the whole-file reader does.
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) return std::nullopt;
  std::string bytes(count, '\0');
  std::size_t filled = 0;
  struct stat info {};
  bool readable = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
  while (readable && filled < count) {
    const ssize_t got = ::read(descriptor, bytes.data() + filled, count - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readable = false;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  ::close(descriptor);
  if (!readable) return std::nullopt;
  bytes.resize(filled);
  return bytes;
}

} // namespace halyard
