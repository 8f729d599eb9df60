#include "core/Inspection/AppBundleInfo.hpp"

#include <plist/plist.h>

#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace halyard {

namespace {
constexpr std::uintmax_t maximumInfoPlistSize = 8 * 1024 * 1024;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};

std::optional<std::string> stringValue(plist_t dictionary, const char* key) {
  const plist_t node = plist_dict_get_item(dictionary, key);
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(node, &value);
  if (!value) return std::nullopt;
  std::string text = value;
  free(value);
  return text;
}

bool isRealEntry(const std::filesystem::path& path, std::filesystem::file_type type) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() == type;
}
} // namespace

AppBundleInfo AppBundleInfo::parse(std::string_view data) {
  if (data.empty() || data.size() > std::numeric_limits<uint32_t>::max()) return {};
  plist_t root = nullptr;
  plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
  const std::unique_ptr<void, PlistFree> handle(root);
  if (!root || plist_get_node_type(root) != PLIST_DICT) return {};
  return AppBundleInfo{stringValue(root, "CFBundleShortVersionString"),
                       stringValue(root, "LSMinimumSystemVersion"),
                       stringValue(root, "CFBundleExecutable")};
}

AppBundleInfo AppBundleInfo::read(const std::filesystem::path& app) {
  const auto contents = app / "Contents";
  const auto file = contents / "Info.plist";
  using Type = std::filesystem::file_type;
  if (!isRealEntry(app, Type::directory) || !isRealEntry(contents, Type::directory) ||
      !isRealEntry(file, Type::regular))
    return {};
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > maximumInfoPlistSize) return {};
  std::ifstream stream(file, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(stream)),
                         std::istreambuf_iterator<char>());
  return parse(data);
}

std::optional<std::filesystem::path>
AppBundleInfo::executablePath(const std::filesystem::path& app) const {
  if (!executable || executable->empty() || *executable == "." || *executable == ".." ||
      executable->find('/') != std::string::npos)
    return std::nullopt;
  return app / "Contents" / "MacOS" / *executable;
}

} // namespace halyard
