#pragma once

#include <filesystem>
#include <vector>

namespace halyard {

// Marks a working folder as in use by a live process: an advisory lock (flock) on the folder
// itself, taken by the process that made it and held until it lets go. The system drops the lock
// when the process ends however it ends (SIGKILL, a power loss), so a folder whose lock nobody
// holds is the leftover of a run that died, and one whose lock is held belongs to a run still
// at work, in this process or another.
namespace FolderLock {

// Takes the lock on `folder` (which this process has just made) and keeps it. False when
// another process holds it or the folder at that path is not the one that was locked any more
// (a sweep removed it in between): the caller then gives the folder up and makes another.
bool acquire(const std::filesystem::path& folder);

// Lets go of a lock this process holds on `folder`; nothing when it holds none.
void release(const std::filesystem::path& folder);

enum class Holder { thisProcess, otherProcess, nobody };

// Who holds the lock on `folder`. A folder that does not exist (any more) is held by this
// process when it still keeps the lock it took, else by nobody.
Holder holder(const std::filesystem::path& folder);

// The folders this process holds locks on, as they were given to acquire.
std::vector<std::filesystem::path> heldByThisProcess();

} // namespace FolderLock

} // namespace halyard
