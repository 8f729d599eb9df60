#include "core/Support/RegularFileReader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/Support/Error.hpp"

namespace halyard {

namespace {
[[noreturn]] void fail(const std::filesystem::path& path, int code, const std::string& reason) {
  throw Error("Halyard.fileRead", code, "Could not read " + path.string() + ": " + reason + ".");
}

struct Descriptor {
  int value;
  ~Descriptor() {
    if (value >= 0) ::close(value);
  }
};
} // namespace

std::string RegularFileReader::read(const std::filesystem::path& path, std::uintmax_t limit) {
  // O_NONBLOCK keeps open() from waiting for a writer when the path names a FIFO.
  Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.value < 0) fail(path, errno, std::strerror(errno));
  struct stat info {};
  if (::fstat(file.value, &info) != 0) fail(path, errno, std::strerror(errno));
  if (!S_ISREG(info.st_mode)) fail(path, EINVAL, "not a regular file");
  if (static_cast<std::uintmax_t>(info.st_size) > limit) fail(path, EFBIG, "the file is too large");

  std::string bytes;
  bytes.resize(static_cast<size_t>(info.st_size));
  size_t filled = 0;
  while (true) {
    if (filled == bytes.size()) {
      // The file may have grown since fstat; keep reading up to the limit.
      if (bytes.size() >= limit) {
        char probe = 0;
        const ssize_t extra = ::read(file.value, &probe, 1);
        if (extra > 0) fail(path, EFBIG, "the file is too large");
        if (extra < 0 && errno == EINTR) continue;
        if (extra < 0) fail(path, errno, std::strerror(errno));
        break;
      }
      bytes.resize(std::min<std::uintmax_t>(limit, bytes.size() + 65536));
    }
    const ssize_t count = ::read(file.value, bytes.data() + filled, bytes.size() - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      fail(path, errno, std::strerror(errno));
    }
    if (count == 0) break;
    filled += static_cast<size_t>(count);
  }
  bytes.resize(filled);
  return bytes;
}

} // namespace halyard
