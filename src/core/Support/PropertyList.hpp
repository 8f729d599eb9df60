#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <plist/plist.h>

namespace halyard {

// One owned libplist node tree, and the typed look-ups every reader of property lists needs.
// Parsing never throws: bytes that are not a property list give an empty (false) list. Getters
// answer none when the node is absent, of another type, or the list is empty.
class PropertyList {
public:
  PropertyList() = default;
  explicit PropertyList(plist_t node) : node_(node) {}
  ~PropertyList();
  PropertyList(PropertyList&& other) noexcept : node_(other.node_) { other.node_ = nullptr; }
  PropertyList& operator=(PropertyList&& other) noexcept;
  PropertyList(const PropertyList&) = delete;
  PropertyList& operator=(const PropertyList&) = delete;

  // XML or binary bytes.
  static PropertyList parse(std::string_view bytes);
  // A tool's output: any text before the list's XML declaration (warnings some tools print
  // first, a license agreement `hdiutil attach` shows) is skipped.
  static PropertyList parseToolOutput(std::string_view output);
  // A regular file of at most `limit` bytes; anything else gives an empty list.
  static PropertyList readFile(const std::filesystem::path& path,
                               std::uintmax_t limit = 16 * 1024 * 1024);
  static PropertyList dictionary();
  static PropertyList array();

  explicit operator bool() const { return node_ != nullptr; }
  plist_t node() const { return node_; }
  // Gives up ownership.
  plist_t release();

  // Serialised forms; empty when the list is empty.
  std::string xml() const;
  std::string binary() const;

  // Look-ups on any node (a dictionary for the keyed ones, an array for the indexed ones).
  static bool isDictionary(plist_t node);
  static bool isArray(plist_t node);
  static plist_t item(plist_t dictionary, const char* key);
  static plist_t dictionaryItem(plist_t dictionary, const char* key);
  static plist_t arrayItem(plist_t dictionary, const char* key);
  static std::optional<std::string> string(plist_t dictionary, const char* key);
  static std::optional<bool> boolean(plist_t dictionary, const char* key);
  static std::optional<std::int64_t> integer(plist_t dictionary, const char* key);
  static std::optional<double> real(plist_t dictionary, const char* key);
  static std::optional<std::string> data(plist_t dictionary, const char* key);
  // The value of a node of that type (none for any other node). Integers keep their two's
  // complement; a date is whole seconds since 2001-01-01 00:00:00 UTC.
  static std::optional<std::string> stringValue(plist_t node);
  static std::optional<bool> booleanValue(plist_t node);
  static std::optional<std::int64_t> integerValue(plist_t node);
  static std::optional<double> realValue(plist_t node);
  static std::optional<std::uint64_t> uidValue(plist_t node);
  static std::optional<std::string> dataValue(plist_t node);
  static std::optional<std::int64_t> dateValue(plist_t node);
  // The elements of an array node (empty for anything else); the list keeps ownership.
  static std::vector<plist_t> elements(plist_t array);
  // The keys and values of a dictionary node, in its order (empty for anything else).
  static std::vector<std::pair<std::string, plist_t>> entries(plist_t dictionary);

  // The same look-ups on the root.
  std::optional<std::string> string(const char* key) const { return string(node_, key); }
  std::optional<bool> boolean(const char* key) const { return boolean(node_, key); }
  std::optional<std::int64_t> integer(const char* key) const { return integer(node_, key); }
  plist_t arrayItem(const char* key) const { return arrayItem(node_, key); }
  plist_t dictionaryItem(const char* key) const { return dictionaryItem(node_, key); }

  // Setters on a dictionary root; `set` takes ownership of `value`.
  void set(const char* key, plist_t value);
  void setString(const char* key, const std::string& value);
  void setBoolean(const char* key, bool value);
  void setInteger(const char* key, std::int64_t value);
  void setReal(const char* key, double value);
  void setData(const char* key, std::string_view bytes);
  // Appends to an array root; takes ownership of `value`.
  void append(plist_t value);

private:
  plist_t node_ = nullptr;
};

} // namespace halyard
