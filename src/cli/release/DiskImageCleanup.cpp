#include "cli/release/DiskImageCleanup.hpp"

#include <algorithm>
#include <system_error>

#include "core/DiskImage/DiskImageAttachment.hpp"
#include "core/DiskImage/DiskImages.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace {

namespace fs = std::filesystem;

// The working folders whose images a sweep may detach: the DMG builder's and the release
// pipeline's, made directly in the temporary folder.
bool isWorkspaceName(const std::string& name) {
  return name.starts_with("Halyard_DMG_") || name.starts_with("Bosun_");
}

// The name of the working folder directly in `temporary` that holds `imagePath`, or empty.
std::string workspaceHolding(const fs::path& imagePath, const fs::path& resolvedTemporary) {
  const fs::path relative = imagePath.lexically_normal().lexically_relative(resolvedTemporary);
  if (relative.empty() || *relative.begin() == "..") return {};
  std::string name = relative.begin()->string();
  return isWorkspaceName(name) ? name : std::string();
}

} // namespace

std::vector<std::string>
DiskImageCleanup::leftoverDevices(const std::vector<halyard::DiskImageListing::Image>& images,
                                  const fs::path& temporary) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(temporary, error);
  if (error) resolved = temporary;
  std::vector<std::string> devices;
  for (const auto& image : images) {
    if (image.device.empty()) continue;
    const std::string workspace = workspaceHolding(image.imagePath, resolved.lexically_normal());
    if (workspace.empty()) continue; // the user's own image, wherever it is and however named
    // A run that is still at work, in another process, keeps its images.
    if (halyard::FolderLock::holder(temporary / workspace) ==
        halyard::FolderLock::Holder::otherProcess)
      continue;
    devices.push_back(image.device);
  }
  return devices;
}

std::vector<std::string> DiskImageCleanup::leftoverDevices() {
  const auto images = halyard::DiskImages::info(halyard::DiskImageAttachment::cleanupRun());
  if (!images) return {};
  return leftoverDevices(*images, halyard::UserFolders::temporary());
}

std::vector<fs::path> DiskImageCleanup::removeAbandonedWorkspaces() {
  return removeAbandonedWorkspaces(halyard::UserFolders::temporary(), {"Halyard_DMG_", "Bosun_"});
}

std::vector<fs::path>
DiskImageCleanup::removeAbandonedWorkspaces(const fs::path& parent,
                                            const std::vector<std::string_view>& prefixes) {
  std::vector<fs::path> abandoned;
  std::error_code error;
  for (fs::directory_iterator entry(parent, error), end; !error && entry != end;
       entry.increment(error)) {
    const fs::path folder = parent / entry->path().filename();
    const std::string name = folder.filename().string();
    if (std::none_of(prefixes.begin(), prefixes.end(),
                     [&](std::string_view prefix) { return name.starts_with(prefix); }) ||
        !entry->is_directory(error) || entry->is_symlink(error))
      continue;
    // Held while it goes, so that no run can take it up meanwhile.
    if (halyard::FolderLock::holder(folder) != halyard::FolderLock::Holder::nobody ||
        !halyard::FolderLock::acquire(folder))
      continue;
    abandoned.push_back(folder);
  }
  if (abandoned.empty()) return {};
  detachLeftoversSynchronously();
  for (const auto& folder : abandoned) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    halyard::FolderLock::release(folder);
  }
  return abandoned;
}

std::vector<std::string> DiskImageCleanup::detachLeftoversSynchronously() {
  auto failed = detachRemembered();
  for (const auto& device : leftoverDevices()) {
    if (halyard::DiskImageAttachment::detachForCleanUp(device)) continue;
    halyard::DiskImageAttachment::leaveForCleanUp(device);
    if (std::find(failed.begin(), failed.end(), device) == failed.end()) failed.push_back(device);
  }
  return failed;
}

std::vector<std::string> DiskImageCleanup::detachRemembered() {
  auto& registry = halyard::CleanupRegistry::shared();
  registry.undoAll(halyard::CleanupRegistry::Kind::image);
  // One still being detached elsewhere (by the interrupted build, say) is not yet a failure.
  return registry.leftBehind(halyard::CleanupRegistry::Kind::image, false);
}

} // namespace bosun
