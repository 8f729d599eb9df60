#pragma once

#include <filesystem>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace macsim {

// Owns one libplist node tree.
class PropertyList {
public:
  PropertyList() = default;
  explicit PropertyList(plist_t node) : node_(node) {}
  ~PropertyList();
  PropertyList(PropertyList&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
  PropertyList& operator=(PropertyList&& other) noexcept;
  PropertyList(const PropertyList&) = delete;
  PropertyList& operator=(const PropertyList&) = delete;

  // XML or binary; an empty list when the bytes are not a property list.
  static PropertyList parse(std::string_view bytes);
  static PropertyList readFile(const std::filesystem::path& path);
  static PropertyList dictionary();
  static PropertyList array();

  explicit operator bool() const { return node_ != nullptr; }
  plist_t node() const { return node_; }
  bool isDictionary() const;
  std::string xml() const;

  // Dictionary helpers; absent or of another type gives std::nullopt.
  std::optional<std::string> string(const char* key) const;
  void setString(const char* key, const std::string& value);
  void setBoolean(const char* key, bool value);
  void setInteger(const char* key, std::uint64_t value);
  void setData(const char* key, const void* bytes, std::size_t length);
  void set(const char* key, plist_t item); // takes ownership of `item`
  void set(const char* key, PropertyList&& value);
  // Array helper: appends, taking ownership.
  void append(PropertyList&& value);

  // Look-ups on any node: the item of a dictionary (null when absent or not a dictionary), a
  // string or data value (none when absent or of another type), a dictionary's entries in order.
  static plist_t item(plist_t dictionary, const char* key);
  static std::optional<std::string> string(plist_t dictionary, const char* key);
  static std::optional<std::string> data(plist_t dictionary, const char* key);
  static std::optional<bool> boolean(plist_t dictionary, const char* key);
  static std::vector<std::pair<std::string, plist_t>> entries(plist_t dictionary);
  static bool isArray(plist_t node);
  static std::vector<plist_t> elements(plist_t array); // empty unless an array

private:
  plist_t node_ = nullptr;
};

} // namespace macsim
