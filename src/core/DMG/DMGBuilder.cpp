#include "core/DMG/DMGBuilder.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>
#include <vector>

#include "core/DMG/DMGWindowArtwork.hpp"
#include "core/DMG/FinderAppleScriptStyler.hpp"
#include "core/DMG/VolumeIcon.hpp"
#include "core/DiskImage/LegacyDiskImageTool.hpp"
#include "core/DiskImage/ModernDiskImageTool.hpp"
#include "core/Finder/FinderLayoutFile.hpp"
#include "core/Legal/SLAInjector.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/FolderLock.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

// Lets the Finder (and Spotlight) let go of the volume before it is detached.
constexpr auto finderReleaseDelay = std::chrono::milliseconds(1500);

void log(const std::string& message) {
  HalyardCoreLog::debugMessage("[DMGBuilder] " + message);
}

void report(const DMGBuildHooks& hooks, const std::string& text) {
  if (hooks.status) hooks.status(text);
}

// Ejects the attachment unless someone (cancellation) has ejected it already; errors ignored.
void ejectModernQuietly(const ModernDiskImageAttachment& attachment) noexcept {
  try {
    const auto attached = ModernDiskImageTool::registry().snapshot();
    if (std::find(attached.begin(), attached.end(), attachment) != attached.end())
      ModernDiskImageTool().eject(attachment);
  } catch (...) {
  }
}

// The image attached by either family, detached again on the failure path. While attached it is
// in the clean-up registry, so that a cancellation detaches it; whichever of the two comes first
// does it.
class AttachedImage {
public:
  explicit AttachedImage(DiskImageEngine engine) : engine_(engine) {}

  const std::string& mountPoint() const { return mountPoint_; }

  void attach(const fs::path& image) {
    if (engine_ == DiskImageEngine::legacy) {
      const auto attachment = LegacyDiskImageTool::attach(image);
      mountPoint_ = attachment.mountPoint;
      device_ = attachment.device;
      hold();
    } else {
      modern_ = ModernDiskImageTool().attach(image);
      mountPoint_ = modern_->mountPoint;
      hold();
    }
    // A cancellation that began during the attach may have undone the registry before the image
    // was in it.
    if (ProcessRegistry::shared().isCancelling()) {
      release();
      throw CancellationError();
    }
  }

  // The ordinary detach: its failure fails the build (and the failure path tries once more).
  void detach() {
    if (!registration_.release()) throw CancellationError(); // the clean-up detached it
    try {
      if (engine_ == DiskImageEngine::legacy)
        LegacyDiskImageTool::detach(device_);
      else if (modern_)
        ModernDiskImageTool().eject(*modern_);
    } catch (...) {
      hold();
      throw;
    }
    modern_.reset();
  }

  // After a failure: detaches whatever is still attached, errors ignored.
  void release() noexcept { registration_.undo(); }

private:
  void hold() {
    if (engine_ == DiskImageEngine::legacy) {
      registration_ = CleanupRegistry::shared().add(
          device_ + " (" + mountPoint_ + ")",
          [device = device_] {
            LegacyDiskImageTool::detachQuietly(device);
            return true;
          },
          CleanupRegistry::Kind::image);
    } else {
      registration_ = CleanupRegistry::shared().add(
          modern_->wholeDisk() + " (" + modern_->mountPoint + ")",
          [attachment = *modern_] {
            ejectModernQuietly(attachment);
            return true;
          },
          CleanupRegistry::Kind::image);
    }
  }

  DiskImageEngine engine_;
  std::string mountPoint_;
  std::string device_; // legacy
  std::optional<ModernDiskImageAttachment> modern_;
  CleanupRegistry::Entry registration_;
};

// The size of a file's bytes without following a link; 0 when it cannot be read.
std::uint64_t ownSize(const fs::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The first `limit` characters (code points) of UTF-8 text.
std::string firstCharacters(const std::string& text, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
    if (!continuation && characters++ == limit) return text.substr(0, i);
  }
  return text;
}

void buildWith(DiskImageEngine engine, const fs::path& appURL, const std::string& appDisplayName,
               const fs::path& outputURL, const DMGBuildRequest& request,
               const LicenseAgreement& agreement, DMGStyling styling, const DMGBuildHooks& hooks) {
  const fs::path output = DMGBuilder::normalizedOutputURL(outputURL);
  const std::string volume = DMGBuilder::volumeName(request.dmgName);
  // "My.app/" names My.app. The bundle is copied from where it really is, so that an app given
  // as a link is copied, not the link.
  fs::path app = appURL;
  if (!app.has_filename() && app.has_parent_path()) app = app.parent_path();
  const std::string appName = app.filename().string();
  const fs::path source = fs::canonical(app);

  const ProcessRegistry& processes = ProcessRegistry::shared();
  TemporaryFolder workspace(DMGBuilder::workspacePrefix);
  // Locked while the build lives, so that other runs' sweeps of leftovers pass its image by.
  FolderLock::acquire(workspace.path());
  std::vector<CleanupRegistry::Entry> temporaries;
  temporaries.push_back(CleanupRegistry::shared().addPath(workspace.path()));
  processes.stopIfCancelling();
  const fs::path workingImage = workspace.path() / DMGBuilder::workingImageName;
  const fs::path compressedImage = workspace.path() / DMGBuilder::compressedImageName;

  std::uint64_t contentBytes = DMGBuilder::folderSizeBytes(source);
  if (request.backgroundImageURL) {
    std::error_code error;
    const auto size = fs::file_size(*request.backgroundImageURL, error);
    if (!error) contentBytes += size;
  }
  const long long sizeMB = DMGBuilder::imageSizeMB(contentBytes);

  report(hooks, "Preparing workspace…");
  log("DMG build started");
  log("Output path: " + output.string());
  log("Volume name: " + volume);
  const ModernDiskImageTool modern;
  if (engine == DiskImageEngine::legacy)
    LegacyDiskImageTool::createReadWrite(workingImage, sizeMB, volume);
  else
    modern.createBlank(workingImage, sizeMB, volume);
  processes.stopIfCancelling();

  report(hooks, "Mounting…");
  log("Mounting temporary DMG: " + workingImage.string());
  AttachedImage image(engine);
  try {
    image.attach(workingImage);

    report(hooks, "Copying files…");
    const fs::path mountRoot = image.mountPoint();
    log("Copying app into mounted DMG from: " + app.string());
    const fs::path target = mountRoot / appName;
    fs::remove_all(target);
    Ditto(AppleTools::Runner::shared, AppleTools::diskImageLimit).copy(source, target);
    processes.stopIfCancelling();
    fs::create_symlink("/Applications", mountRoot / "Applications");
    if (request.volumeIconURL) {
      log("Setting the volume icon from: " + request.volumeIconURL->string());
      VolumeIcon::apply(*request.volumeIconURL, mountRoot);
    }

    report(hooks, "Styling window…");
    log("Applying Finder layout and background styling");
    const DMGWindowArtwork artwork = DMGWindowArtwork::make(request, appDisplayName);
    fs::create_directory(mountRoot / ".support");
    std::optional<std::string> background;
    if (const auto png = artwork.backgroundPNG(request)) {
      AtomicFile::writeAll(mountRoot / DMGBuilder::backgroundPath, *png);
      background = DMGBuilder::backgroundPath;
    }
    if (styling == DMGStyling::finderLayoutFile) {
      FinderLayoutFile::write(mountRoot, appName, background, artwork.windowSize, artwork.appIcon,
                              artwork.folderIcon);
    } else {
      FinderAppleScriptStyler::style(mountRoot.filename().string(), background, artwork.windowSize,
                                     artwork.appIcon, artwork.folderIcon);
    }
    if (hooks.afterFinderStyling) hooks.afterFinderStyling();
    processes.stopIfCancelling();

    report(hooks, "Finalizing…");
    log("Detaching temporary mounted DMG");
    std::this_thread::sleep_for(finderReleaseDelay);
    image.detach();
  } catch (...) {
    image.release();
    throw;
  }
  processes.stopIfCancelling();

  report(hooks, "Compressing…");
  log("Converting RW DMG to compressed " + std::string(udifFormat(request.compression)) +
      " format");
  std::error_code ignored;
  fs::remove(compressedImage, ignored);
  if (engine == DiskImageEngine::legacy)
    LegacyDiskImageTool::compress(workingImage, compressedImage, request.compression);
  else
    modern.compress(workingImage, compressedImage, request.compression);
  processes.stopIfCancelling();

  // The license goes into the image while it is still in the workspace, so that the output only
  // ever receives a finished image.
  if (!agreement.isEmpty()) {
    report(hooks, "Adding license agreement…");
    SLAInjector::inject(agreement, compressedImage);
    processes.stopIfCancelling();
  }

  report(hooks, "Saving…");
  log("Saving final DMG to: " + output.string());
  AtomicFileCopy copy(compressedImage, output);
  temporaries.push_back(CleanupRegistry::shared().addPath(copy.temporaryPath()));
  processes.stopIfCancelling();
  if (const std::error_code error = copy.commit())
    throw fs::filesystem_error("Could not save the disk image", compressedImage, output, error);
  log("DMG build finished successfully at: " + output.string());
}

bool isCancellation(const std::exception& error) {
  return ProcessRegistry::shared().isCancelling() ||
         dynamic_cast<const CancellationError*>(&error) != nullptr;
}

} // namespace

void DMGBuilder::build(const fs::path& appURL, const std::string& appDisplayName,
                       const fs::path& outputURL, const DMGBuildRequest& request,
                       const LicenseAgreement& agreement, bool prefersModernTools,
                       DMGStyling styling, const DMGBuildHooks& hooks) {
  const DiskImageEngine engine =
      DiskImageEngines::resolve(prefersModernTools, !agreement.isEmpty());
  if (engine == DiskImageEngine::legacy) {
    buildWith(engine, appURL, appDisplayName, outputURL, request, agreement, styling, hooks);
    return;
  }
  try {
    buildWith(engine, appURL, appDisplayName, outputURL, request, agreement, styling, hooks);
    return;
  } catch (const std::exception& error) {
    const ModernDiskImageTool modern;
    if (isCancellation(error)) {
      modern.ejectRemaining();
      throw;
    }
    const std::string description = error.what();
    log("Modern disk image tools failed, falling back to legacy: " + description);
    HalyardCoreLog::noteMessage(
        "The modern disk image tools (diskutil image) failed: " + description +
        " Halyard switched to the legacy tools (hdiutil) automatically "
        "and rebuilt the DMG.");
    report(hooks, "Switching to legacy disk image tools…");
    modern.ejectRemaining();
  }
  buildWith(DiskImageEngine::legacy, appURL, appDisplayName, outputURL, request, agreement, styling,
            hooks);
}

void DMGBuilder::buildImage(DiskImageEngine engine, const fs::path& appURL,
                            const std::string& appDisplayName, const fs::path& outputURL,
                            const DMGBuildRequest& request, const LicenseAgreement& agreement,
                            DMGStyling styling, const DMGBuildHooks& hooks) {
  buildWith(engine, appURL, appDisplayName, outputURL, request, agreement, styling, hooks);
}

std::string DMGBuilder::sanitizeLabel(std::string_view text) {
  static constexpr std::string_view forbidden = "/\\:\"<>|?*\n\r\t";
  std::string kept;
  kept.reserve(text.size());
  for (const char c : text)
    if (forbidden.find(c) == std::string_view::npos) kept.push_back(c);
  std::string result = text::trimmed(kept);
  for (auto at = result.find("  "); at != std::string::npos; at = result.find("  ", at))
    result.erase(at, 1);
  return result;
}

std::string DMGBuilder::volumeName(std::string_view name) {
  std::string trimmed = text::trimmed(name);
  if (trimmed.size() >= 4 && text::lowercasedASCII(trimmed.substr(trimmed.size() - 4)) == ".dmg")
    trimmed.resize(trimmed.size() - 4);
  std::string result = sanitizeLabel(trimmed);
  if (result.empty()) return "Installer";
  // A volume name has at most 27 characters.
  if (characterCount(result) >= 28) result = firstCharacters(result, 27);
  return result;
}

std::uint64_t DMGBuilder::folderSizeBytes(const fs::path& folder) {
  std::uint64_t total = 0;
  for (auto entry = fs::recursive_directory_iterator(folder); entry != fs::end(entry); ++entry) {
    const fs::path& path = entry->path();
    if (path.filename().string().starts_with(".")) {
      entry.disable_recursion_pending();
      continue;
    }
    if (entry->is_directory() && !entry->is_symlink()) continue;
    total += ownSize(path);
  }
  return total;
}

long long DMGBuilder::imageSizeMB(std::uint64_t contentBytes) {
  constexpr std::uint64_t mebibyte = 1048576;
  constexpr std::uint64_t fixedHeadroom = 60 * mebibyte;
  // ceil((A × 1.2 + 60 MiB) / 1 MiB), in whole numbers: ceil((6A + 5 × 60 MiB) / (5 MiB)).
  double sizeMB;
  if (contentBytes <= (std::numeric_limits<std::uint64_t>::max() - 5 * fixedHeadroom) / 6) {
    const std::uint64_t numerator = 6 * contentBytes + 5 * fixedHeadroom;
    sizeMB = static_cast<double>((numerator + 5 * mebibyte - 1) / (5 * mebibyte));
  } else {
    sizeMB = std::ceil((static_cast<double>(contentBytes) * 1.2 + fixedHeadroom) / mebibyte);
  }
  return static_cast<long long>(std::max(120.0, std::min(sizeMB, 9.0e18)));
}

fs::path DMGBuilder::normalizedOutputURL(const fs::path& outputURL) {
  fs::path output = outputURL;
  if (text::lowercasedASCII(output.extension().string()) != ".dmg") output.replace_extension("dmg");
  return output;
}

} // namespace halyard
