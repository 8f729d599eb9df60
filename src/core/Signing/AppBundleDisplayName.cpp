#include "core/Signing/AppBundleDisplayName.hpp"

#include <plist/plist.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// An information dictionary larger than this is not a real one; it is not read.
constexpr std::uintmax_t maximumInfoPlistSize = 16 * 1024 * 1024;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistHandle = std::unique_ptr<void, PlistFree>;

PlistHandle readInfoDictionary(const std::filesystem::path& bundle) {
  const auto file = bundle / "Contents" / "Info.plist";
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return nullptr;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size == 0 || size > maximumInfoPlistSize) return nullptr;

  std::ifstream stream(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(stream)),
                          std::istreambuf_iterator<char>());
  if (bytes.empty()) return nullptr;

  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  PlistHandle handle(root);
  if (!handle || plist_get_node_type(root) != PLIST_DICT) return nullptr;
  return handle;
}

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

} // namespace

std::string appBundleDisplayName(const std::filesystem::path& bundle) {
  try {
    if (auto info = readInfoDictionary(bundle)) {
      for (const char* key : {"CFBundleDisplayName", "CFBundleName"})
        if (auto name = nonBlankString(info.get(), key)) return *name;
    }
  } catch (...) {
    // An unreadable bundle has no names; the file name below stands in.
  }
  auto path = bundle;
  if (!path.has_filename()) path = path.parent_path(); // "My App.app/" names the same bundle
  return path.stem().string();
}

} // namespace halyard
