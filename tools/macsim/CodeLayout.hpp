#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

// What a path is to codesign: a bundle (with where its signature, Info.plist and main
// executable live), a single file, or a folder that is no bundle at all.
struct CodeLayout {
  enum class Kind { missing, bundle, file, folder };

  std::filesystem::path path; // as given
  Kind kind = Kind::missing;
  // Bundles: the folder that holds _CodeSignature (Contents, Versions/<current> or the bundle).
  std::filesystem::path signRoot;
  std::filesystem::path infoPlist;
  std::optional<std::filesystem::path> mainExecutable;
  bool contentsStyle = false; // App.app/Contents/...

  static CodeLayout of(const std::filesystem::path& path);
  static bool hasBundleExtension(const std::filesystem::path& path);

  bool isApp() const;
  std::filesystem::path signatureFolder() const { return signRoot / "_CodeSignature"; }
  // The stapled ticket of a bundle (Contents/CodeResources).
  std::filesystem::path ticketFile() const { return signRoot / "CodeResources"; }
  std::optional<std::string> bundleIdentifier() const;
  int infoPlistEntries() const;

  // Code nested directly in this bundle (not inside nested bundles): bundles in the code
  // folders, and Mach-O files, libraries and executables there other than the main executable.
  std::vector<std::filesystem::path> nestedCode() const;
  // "app bundle with Mach-O universal (x86_64 arm64)", "Mach-O thin (arm64)", "disk image", ...
  std::string formatDescription() const;
  // Top-level items of a Contents-style bundle other than Contents.
  std::vector<std::filesystem::path> unsealedRootItems() const;
  // Symbolic links inside the bundle whose destination lies outside it.
  std::vector<std::filesystem::path> escapingLinks() const;
};

} // namespace macsim
