#include "core/Support/FolderLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

namespace halyard {

namespace fs = std::filesystem;

namespace {

std::mutex heldLock;

// Folder → the descriptor that carries its lock.
std::map<fs::path, int>& held() {
  static auto* folders = new std::map<fs::path, int>(); // never destroyed: threads may outlive main
  return *folders;
}

// A descriptor of the folder with its lock taken, or -1 when it is held elsewhere or gone.
int lockedDescriptor(const fs::path& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return -1;
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

} // namespace

bool FolderLock::acquire(const fs::path& folder) {
  const int descriptor = lockedDescriptor(folder);
  if (descriptor < 0) return false;
  // A sweep that took the lock first may have removed the folder and let go before this lock was
  // taken; the descriptor then names a folder that is no longer at the path.
  struct stat opened {};
  struct stat named {};
  if (::fstat(descriptor, &opened) != 0 || ::stat(folder.c_str(), &named) != 0 ||
      opened.st_dev != named.st_dev || opened.st_ino != named.st_ino) {
    ::close(descriptor);
    return false;
  }
  const std::lock_guard guard(heldLock);
  auto& folders = held();
  if (const auto previous = folders.find(folder); previous != folders.end())
    ::close(previous->second);
  folders[folder] = descriptor;
  return true;
}

void FolderLock::release(const fs::path& folder) {
  const std::lock_guard guard(heldLock);
  auto& folders = held();
  if (const auto found = folders.find(folder); found != folders.end()) {
    ::close(found->second);
    folders.erase(found);
  }
}

FolderLock::Holder FolderLock::holder(const fs::path& folder) {
  {
    // The path as it was locked, or another way to the same folder.
    const std::lock_guard guard(heldLock);
    if (held().count(folder) != 0) return Holder::thisProcess;
    struct stat named {};
    if (!held().empty() && ::stat(folder.c_str(), &named) == 0) {
      for (const auto& [path, descriptor] : held()) {
        struct stat locked {};
        if (::fstat(descriptor, &locked) == 0 && locked.st_dev == named.st_dev &&
            locked.st_ino == named.st_ino)
          return Holder::thisProcess;
      }
    }
  }
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return Holder::nobody;
  const bool free = ::flock(descriptor, LOCK_SH | LOCK_NB) == 0;
  ::close(descriptor); // closing lets go of the probe's own lock
  return free ? Holder::nobody : Holder::otherProcess;
}

std::vector<fs::path> FolderLock::heldByThisProcess() {
  const std::lock_guard guard(heldLock);
  std::vector<fs::path> folders;
  for (const auto& [folder, descriptor] : held())
    folders.push_back(folder);
  return folders;
}

} // namespace halyard
