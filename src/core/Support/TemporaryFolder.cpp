#include "core/Support/TemporaryFolder.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/Support/Error.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/UUID.hpp"
#include "core/Support/UserFolders.hpp"

namespace halyard {

TemporaryFolder::TemporaryFolder(const std::string& prefix)
    : TemporaryFolder(UserFolders::temporary(), prefix) {}

TemporaryFolder::TemporaryFolder(const std::filesystem::path& parent, const std::string& prefix) {
  // A UUID collision is practically impossible; retry a few times rather than loop forever.
  for (int attempt = 0; attempt < 8; ++attempt) {
    auto candidate = parent / (prefix + UUID::randomString());
    if (::mkdir(candidate.c_str(), 0700) == 0) {
      path_ = std::move(candidate);
      return;
    }
    if (errno != EEXIST) break;
  }
  throw Error("Halyard.temporaryFolder", errno,
              "Could not create a temporary folder in " + parent.string() + ": " +
                  std::strerror(errno));
}

TemporaryFolder::~TemporaryFolder() {
  remove();
}

TemporaryFolder::TemporaryFolder(TemporaryFolder&& other) noexcept : path_(std::move(other.path_)) {
  other.path_.clear();
}

TemporaryFolder& TemporaryFolder::operator=(TemporaryFolder&& other) noexcept {
  if (this != &other) {
    remove();
    path_ = std::move(other.path_);
    other.path_.clear();
  }
  return *this;
}

void TemporaryFolder::remove() noexcept {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
  // An owner that locked the folder (FolderLock) as its working folder lets go with it.
  FolderLock::release(path_);
  path_.clear();
}

std::filesystem::path TemporaryFolder::release() noexcept {
  FolderLock::release(path_);
  auto path = std::move(path_);
  path_.clear();
  return path;
}

} // namespace halyard
