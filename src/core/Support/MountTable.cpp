#include "core/Support/MountTable.hpp"

#include <sys/stat.h>

#if defined(__APPLE__)
#include <sys/mount.h>
#include <sys/param.h>
#endif

#include <cstring>
#include <system_error>

#include "core/Support/ToolRoot.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

bool isFileSystemRoot(const fs::path& resolved) {
#if defined(__APPLE__)
  struct statfs info {};
  if (::statfs(resolved.c_str(), &info) != 0) return false;
  return resolved == fs::path(info.f_mntonname);
#else
  struct stat self {};
  struct stat parent {};
  if (::stat(resolved.c_str(), &self) != 0) return false;
  if (!resolved.has_relative_path()) return true; // "/"
  if (::stat(resolved.parent_path().c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev;
#endif
}

} // namespace

bool MountTable::isMountedVolume(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code error;
  const fs::path resolved = fs::canonical(path, error);
  if (error || !fs::is_directory(resolved, error)) return false;
  if (ToolRoot::isActive()) {
    const fs::path volumes = fs::weakly_canonical(ToolRoot::path("/Volumes"), error);
    if (!error && resolved.parent_path() == volumes) return true;
  }
  return isFileSystemRoot(resolved);
}

} // namespace halyard
