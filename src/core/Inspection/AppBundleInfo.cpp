#include "core/Inspection/AppBundleInfo.hpp"

#include <system_error>

#include "core/Support/PropertyList.hpp"

namespace halyard {

namespace {
constexpr std::uintmax_t maximumInfoPlistSize = 8 * 1024 * 1024;

AppBundleInfo factsOf(const PropertyList& list) {
  return AppBundleInfo{list.string("CFBundleShortVersionString"),
                       list.string("LSMinimumSystemVersion"), list.string("CFBundleExecutable")};
}

bool isRealEntry(const std::filesystem::path& path, std::filesystem::file_type type) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() == type;
}
} // namespace

AppBundleInfo AppBundleInfo::parse(std::string_view data) {
  return factsOf(PropertyList::parse(data));
}

AppBundleInfo AppBundleInfo::read(const std::filesystem::path& app) {
  const auto contents = app / "Contents";
  const auto file = contents / "Info.plist";
  using Type = std::filesystem::file_type;
  if (!isRealEntry(app, Type::directory) || !isRealEntry(contents, Type::directory) ||
      !isRealEntry(file, Type::regular))
    return {};
  return factsOf(PropertyList::readFile(file, maximumInfoPlistSize));
}

std::optional<std::filesystem::path>
AppBundleInfo::executablePath(const std::filesystem::path& app) const {
  if (!executable || executable->empty() || *executable == "." || *executable == ".." ||
      executable->find('/') != std::string::npos)
    return std::nullopt;
  return app / "Contents" / "MacOS" / *executable;
}

} // namespace halyard
