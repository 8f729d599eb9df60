#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/DMG/DMGBuildRequest.hpp"
#include "core/DiskImage/DiskImageEngine.hpp"
#include "core/Legal/LicenseAgreement.hpp"

namespace halyard {

// Progress of a build. Both callbacks may be empty.
struct DMGBuildHooks {
  // One user-facing step message at a time ("Mounting…"); the caller prints it.
  std::function<void(const std::string&)> status;
  // Once, after the window has been styled and before the image is detached.
  std::function<void()> afterFinderStyling;
};

// How the installer window gets its layout: by scripting the Finder (the desktop app, which has
// a logged-in Finder) or by writing the volume's .DS_Store directly (bosun).
enum class DMGStyling { finderAppleScript, finderLayoutFile };

// Turns one prepared app bundle into a finished installer disk image: the app and an
// Applications link in a designed window with its background picture, compressed, with the
// license agreement shown before the image mounts.
//
// All work happens in a workspace "Halyard_DMG_<UUID>" in the temporary directory: the
// read-write image is filled there, detached, compressed and given its license there, and only
// the finished image is copied beside the output and renamed over it, so a failed or interrupted
// build never touches an existing output. On every path the workspace is removed and an image
// still attached is detached before the build returns or throws.
//
// Tools run through the shared runners on the calling thread. Errors: the tools' own errors
// (CoreCommandError, ModernDiskImageError, LegacyDiskImageError, SLAInjector's) and file-system
// errors as they are; CancellationError once a cancellation has begun. While a build lasts, its
// workspace, its partial output and its attached image are in the clean-up registry, so that a
// cancellation (the signal handler ends the process without unwinding the build) removes them.
struct DMGBuilder {
  static constexpr const char* workspacePrefix = "Halyard_DMG_";
  static constexpr const char* workingImageName = "working_rw.dmg";
  static constexpr const char* compressedImageName = "export_compressed.dmg";
  static constexpr const char* backgroundPath = ".support/background.png";

  // Builds the DMG at `outputURL` (its extension made "dmg"). The modern tools are used when
  // preferred, available and there is no license; a failed modern build is rebuilt once with the
  // legacy tools (never after cancellation).
  static void build(const std::filesystem::path& appURL, const std::string& appDisplayName,
                    const std::filesystem::path& outputURL, const DMGBuildRequest& request,
                    const LicenseAgreement& agreement, bool prefersModernTools, DMGStyling styling,
                    const DMGBuildHooks& hooks);

  // One build with the given tool family, without fallback.
  static void buildImage(DiskImageEngine engine, const std::filesystem::path& appURL,
                         const std::string& appDisplayName, const std::filesystem::path& outputURL,
                         const DMGBuildRequest& request, const LicenseAgreement& agreement,
                         DMGStyling styling, const DMGBuildHooks& hooks);

  // The volume name for the user's image name: trimmed, without a ".dmg" ending and the
  // characters / \ : " < > | ? * CR LF TAB, single-spaced, "Installer" when nothing is left,
  // at most 27 characters.
  static std::string volumeName(std::string_view name);
  // The character removal and spacing of volumeName alone.
  static std::string sanitizeLabel(std::string_view text);

  // The bytes of every file below `folder`, hidden names (and what is under them) left out.
  // Links are counted as themselves, never followed. Throws filesystem_error.
  static std::uint64_t folderSizeBytes(const std::filesystem::path& folder);

  // The read-write image's size in MB for `contentBytes` of app and background: 20% headroom
  // plus 60 MiB, never below 120.
  static long long imageSizeMB(std::uint64_t contentBytes);

  // The output path with the extension "dmg" unless it already has it (in any case).
  static std::filesystem::path normalizedOutputURL(const std::filesystem::path& outputURL);
};

} // namespace halyard
