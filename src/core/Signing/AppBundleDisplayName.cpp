#include "core/Signing/AppBundleDisplayName.hpp"

#include <plist/plist.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// An information dictionary larger than this is not a real one; it is not read.
constexpr std::uintmax_t maximumInfoPlistSize = 16 * 1024 * 1024;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

// The key's value when it is a string that is not blank, trimmed.
std::optional<std::string> nonBlankString(plist_t dictionary, const char* key) {
  plist_t node = plist_dict_get_item(dictionary, key);
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (!value) return std::nullopt;
  auto result = text::trimmed(std::string_view(value, length));
  if (result.empty()) return std::nullopt;
  return result;
}

std::optional<std::string> readInfoPlist(const std::filesystem::path& bundle) {
  const auto file = bundle / "Contents" / "Info.plist";
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size > maximumInfoPlistSize) return std::nullopt;
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return std::nullopt;
  return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

} // namespace

std::optional<std::string> infoPlistDisplayName(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > maximumInfoPlistSize) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  const PlistHandle handle(root);
  if (!handle || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
  for (const char* key : {"CFBundleDisplayName", "CFBundleName"})
    if (auto name = nonBlankString(root, key)) return name;
  return std::nullopt;
}

std::string appBundleDisplayName(const std::filesystem::path& bundle) {
  try {
    if (const auto bytes = readInfoPlist(bundle))
      if (auto name = infoPlistDisplayName(*bytes)) return *name;
  } catch (...) {
    // An unreadable bundle has no names; the file name below stands in.
  }
  auto path = bundle;
  while (!path.has_filename() && path.has_parent_path() && path.parent_path() != path)
    path = path.parent_path(); // "My App.app/" names the same bundle
  return path.stem().string();
}

} // namespace halyard
