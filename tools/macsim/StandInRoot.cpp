#include "StandInRoot.hpp"

#include <system_error>

#include "Files.hpp"
#include "Knobs.hpp"
#include "PropertyList.hpp"
#include "ToolFailure.hpp"

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* developerFolder = "Library/Developer/CommandLineTools/usr/bin";

std::string buildVersionFor(const std::string& version) {
  if (version == "15.5") return "24F74";
  const int major = std::atoi(version.c_str());
  return std::to_string(major + 9) + "A100";
}

} // namespace

const std::vector<StandInRoot::Link>& StandInRoot::links() {
  static const std::vector<Link> table = {
      {"usr/bin/codesign", "codesign"},
      {"usr/bin/security", "security"},
      {"usr/bin/hdiutil", "hdiutil"},
      {"usr/sbin/diskutil", "diskutil"},
      {"usr/bin/xcrun", "xcrun"},
      {"usr/sbin/spctl", "spctl"},
      {"usr/sbin/pkgutil", "pkgutil"},
      {"usr/bin/pkgbuild", "pkgbuild"},
      {"usr/bin/productbuild", "productbuild"},
      {"usr/bin/productsign", "productsign"},
      {"usr/bin/lipo", "lipo"},
      {"usr/bin/ditto", "ditto"},
      {"usr/bin/xattr", "xattr"},
      {"usr/bin/osascript", "osascript"},
      {"usr/bin/shasum", "shasum"},
      {"usr/sbin/sysctl", "sysctl"},
      {std::string(developerFolder) + "/notarytool", "notarytool"},
      {std::string(developerFolder) + "/stapler", "stapler"},
  };
  return table;
}

std::optional<fs::path> StandInRoot::fromInvocation(const std::string& invokedAs) {
  if (invokedAs.find('/') == std::string::npos) return std::nullopt;
  const fs::path path = Files::absolute(invokedAs);
  for (const auto& link : links()) {
    const fs::path relative(link.path);
    fs::path candidate = path;
    bool matches = true;
    for (auto part = relative.end(); part != relative.begin();) {
      --part;
      if (candidate.filename() != *part) {
        matches = false;
        break;
      }
      candidate = candidate.parent_path();
    }
    if (matches && fs::is_directory(candidate / "var" / "macsim")) return candidate;
  }
  return std::nullopt;
}

fs::path StandInRoot::locate(const std::string& invokedAs) {
  if (auto root = fromInvocation(invokedAs)) return *root;
  if (auto root = Knobs::value("BOSUN_TOOL_ROOT")) return Files::absolute(*root);
  throw ToolFailure("macsim: no stand-in root: run this tool from a root made by `macsim init`, "
                    "or set BOSUN_TOOL_ROOT");
}

void StandInRoot::initialize(const fs::path& root, const std::string& macosVersion,
                             const fs::path& executable) {
  for (const char* folder : {"usr/bin", "usr/sbin", "bin", "System/Library/CoreServices", "Volumes",
                             "var/macsim", developerFolder})
    fs::create_directories(root / folder);
  for (const auto& link : links()) {
    const fs::path path = root / link.path;
    std::error_code ignored;
    fs::remove(path, ignored);
    fs::create_symlink(executable, path);
  }
  // chmod is the system's own.
  const fs::path chmod = root / "bin" / "chmod";
  std::error_code ignored;
  fs::remove(chmod, ignored);
  fs::create_symlink(fs::exists("/bin/chmod") ? "/bin/chmod" : "/usr/bin/chmod", chmod);

  auto version = PropertyList::dictionary();
  version.setString("ProductBuildVersion", buildVersionFor(macosVersion));
  version.setString("ProductName", "macOS");
  version.setString("ProductUserVisibleVersion", macosVersion);
  version.setString("ProductVersion", macosVersion);
  Files::writeAtomically(root / "System/Library/CoreServices/SystemVersion.plist", version.xml());
}

fs::path StandInRoot::developerToolPath(const fs::path& root, const std::string& tool) {
  return root / developerFolder / tool;
}

} // namespace macsim
