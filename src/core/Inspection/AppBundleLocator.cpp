#include "core/Inspection/AppBundleLocator.hpp"

#include <array>
#include <string_view>
#include <system_error>

#include "core/Inspection/InspectionFolderWalk.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
bool isAppExtension(const std::filesystem::path& path) {
  return text::lowercasedASCII(path.extension().string()) == ".app";
}

bool isRealFolder(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_directory(std::filesystem::symlink_status(path, error));
}
} // namespace

bool AppBundleLocator::isBundleFolder(const std::filesystem::path& path) {
  static constexpr std::array<std::string_view, 14> extensions{
      ".app",         ".framework", ".bundle",          ".plugin",
      ".kext",        ".xpc",       ".appex",           ".prefpane",
      ".qlgenerator", ".saver",     ".systemextension", ".mdimporter",
      ".component",   ".dext"};
  const auto extension = text::lowercasedASCII(path.extension().string());
  for (const auto candidate : extensions) {
    if (extension == candidate) return true;
  }
  return false;
}

std::optional<std::filesystem::path> AppBundleLocator::find(const std::filesystem::path& root) {
  for (const auto& entry : InspectionFolderWalk::listing(root)) {
    if (isAppExtension(entry) && isRealFolder(entry)) return entry;
  }
  std::optional<std::filesystem::path> found;
  InspectionFolderWalk::walk(
      root, [&](const std::filesystem::path& path, std::filesystem::file_status status) {
        using Action = InspectionFolderWalk::Action;
        if (!std::filesystem::is_directory(status)) return Action::skipChildren;
        if (isAppExtension(path)) {
          found = path;
          return Action::stop;
        }
        return isBundleFolder(path) ? Action::skipChildren : Action::descend;
      });
  return found;
}

} // namespace halyard
