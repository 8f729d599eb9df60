#include "core/Support/AtomicFile.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/Support/Error.hpp"
#include "core/Support/UUID.hpp"

namespace halyard {

AtomicFile::AtomicFile(std::filesystem::path target, mode_t mode) : target_(std::move(target)) {
  auto name = "." + target_.filename().string() + "." + UUID::randomString() + ".tmp";
  temporary_ = target_.parent_path() / name;
  descriptor_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (descriptor_ < 0) fail("open");
  // The requested mode exactly, whatever the umask says.
  if (::fchmod(descriptor_, mode) != 0) fail("fchmod");
}

AtomicFile::~AtomicFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void AtomicFile::write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      fail("write");
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void AtomicFile::commit() {
  if (::fsync(descriptor_) != 0) fail("fsync");
  const int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0) fail("close");
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) fail("rename");
  committed_ = true;
}

void AtomicFile::writeAll(const std::filesystem::path& target, std::string_view bytes,
                          mode_t mode) {
  AtomicFile file(target, mode);
  file.write(bytes);
  file.commit();
}

void AtomicFile::fail(const char* operation) {
  const int error = errno;
  throw Error("Halyard.atomicFile", error,
              std::string("Could not write ") + target_.string() + " (" + operation +
                  " failed: " + std::strerror(error) + ").");
}

} // namespace halyard
