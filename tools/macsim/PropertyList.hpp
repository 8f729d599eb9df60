#pragma once

#include <filesystem>
#include <optional>
#include <plist/plist.h>
#include <string>
#include <string_view>

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

  explicit operator bool() const { return node_ != nullptr; }
  plist_t node() const { return node_; }
  bool isDictionary() const;
  std::string xml() const;

  // Dictionary helpers; absent or of another type gives std::nullopt.
  std::optional<std::string> string(const char* key) const;
  void setString(const char* key, const std::string& value);
  void set(const char* key, plist_t item); // takes ownership of `item`

private:
  plist_t node_ = nullptr;
};

} // namespace macsim
