#include "core/Support/PropertyList.hpp"

#include <cstdlib>
#include <limits>

#include "core/Support/RegularFileReader.hpp"

namespace halyard {

PropertyList::~PropertyList() {
  if (node_) plist_free(node_);
}

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
  if (this != &other) {
    if (node_) plist_free(node_);
    node_ = other.node_;
    other.node_ = nullptr;
  }
  return *this;
}

plist_t PropertyList::release() {
  plist_t node = node_;
  node_ = nullptr;
  return node;
}

PropertyList PropertyList::parse(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return {};
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  return PropertyList(root);
}

PropertyList PropertyList::parseToolOutput(std::string_view output) {
  // The list is the last thing printed and has one XML declaration; what comes before it (a
  // license agreement's text, which may itself quote XML) is not part of it.
  auto start = output.rfind("<?xml");
  if (start == std::string_view::npos) start = output.rfind("<plist");
  if (start != std::string_view::npos) output.remove_prefix(start);
  return parse(output);
}

PropertyList PropertyList::readFile(const std::filesystem::path& path, std::uintmax_t limit) {
  try {
    return parse(RegularFileReader::read(path, limit));
  } catch (const std::exception&) {
    return {};
  }
}

PropertyList PropertyList::dictionary() {
  return PropertyList(plist_new_dict());
}

PropertyList PropertyList::array() {
  return PropertyList(plist_new_array());
}

std::string PropertyList::xml() const {
  if (!node_) return {};
  char* buffer = nullptr;
  uint32_t length = 0;
  plist_to_xml(node_, &buffer, &length);
  std::string text = buffer ? std::string(buffer, length) : std::string();
  if (buffer) plist_to_xml_free(buffer);
  return text;
}

std::string PropertyList::binary() const {
  if (!node_) return {};
  char* buffer = nullptr;
  uint32_t length = 0;
  plist_to_bin(node_, &buffer, &length);
  std::string bytes = buffer ? std::string(buffer, length) : std::string();
  if (buffer) plist_to_bin_free(buffer);
  return bytes;
}

bool PropertyList::isDictionary(plist_t node) {
  return node && plist_get_node_type(node) == PLIST_DICT;
}

bool PropertyList::isArray(plist_t node) {
  return node && plist_get_node_type(node) == PLIST_ARRAY;
}

plist_t PropertyList::item(plist_t dictionary, const char* key) {
  return isDictionary(dictionary) ? plist_dict_get_item(dictionary, key) : nullptr;
}

plist_t PropertyList::dictionaryItem(plist_t dictionary, const char* key) {
  const plist_t node = item(dictionary, key);
  return isDictionary(node) ? node : nullptr;
}

plist_t PropertyList::arrayItem(plist_t dictionary, const char* key) {
  const plist_t node = item(dictionary, key);
  return isArray(node) ? node : nullptr;
}

std::optional<std::string> PropertyList::stringValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  uint64_t length = 0;
  const char* value = plist_get_string_ptr(node, &length);
  if (!value) return std::nullopt;
  return std::string(value, static_cast<std::size_t>(length));
}

std::optional<std::string> PropertyList::string(plist_t dictionary, const char* key) {
  return stringValue(item(dictionary, key));
}

std::optional<bool> PropertyList::booleanValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_BOOLEAN) return std::nullopt;
  uint8_t value = 0;
  plist_get_bool_val(node, &value);
  return value != 0;
}

std::optional<std::int64_t> PropertyList::integerValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_UINT) return std::nullopt;
  uint64_t value = 0;
  plist_get_uint_val(node, &value);
  return static_cast<std::int64_t>(value);
}

std::optional<double> PropertyList::realValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_REAL) return std::nullopt;
  double value = 0;
  plist_get_real_val(node, &value);
  return value;
}

std::optional<std::uint64_t> PropertyList::uidValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_UID) return std::nullopt;
  uint64_t value = 0;
  plist_get_uid_val(node, &value);
  return value;
}

std::optional<std::string> PropertyList::dataValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_DATA) return std::nullopt;
  uint64_t length = 0;
  const char* bytes = plist_get_data_ptr(node, &length);
  return bytes ? std::string(bytes, static_cast<std::size_t>(length)) : std::string();
}

std::optional<std::int64_t> PropertyList::dateValue(plist_t node) {
  if (!node || plist_get_node_type(node) != PLIST_DATE) return std::nullopt;
  int32_t seconds = 0;
  int32_t microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  return seconds;
}

std::optional<bool> PropertyList::boolean(plist_t dictionary, const char* key) {
  return booleanValue(item(dictionary, key));
}

std::optional<std::int64_t> PropertyList::integer(plist_t dictionary, const char* key) {
  return integerValue(item(dictionary, key));
}

std::optional<double> PropertyList::real(plist_t dictionary, const char* key) {
  const plist_t node = item(dictionary, key);
  if (const auto value = realValue(node)) return value;
  if (const auto value = integerValue(node)) return static_cast<double>(*value);
  return std::nullopt;
}

std::optional<std::string> PropertyList::data(plist_t dictionary, const char* key) {
  return dataValue(item(dictionary, key));
}

std::vector<plist_t> PropertyList::elements(plist_t array) {
  std::vector<plist_t> result;
  if (!isArray(array)) return result;
  const uint32_t count = plist_array_get_size(array);
  result.reserve(count);
  for (uint32_t i = 0; i < count; ++i)
    result.push_back(plist_array_get_item(array, i));
  return result;
}

std::vector<std::pair<std::string, plist_t>> PropertyList::entries(plist_t dictionary) {
  std::vector<std::pair<std::string, plist_t>> result;
  if (!isDictionary(dictionary)) return result;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary, &iterator);
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dictionary, iterator, &key, &value);
    if (!key) break;
    result.emplace_back(key, value);
    std::free(key);
  }
  std::free(iterator);
  return result;
}

void PropertyList::set(const char* key, plist_t value) {
  if (isDictionary(node_))
    plist_dict_set_item(node_, key, value);
  else
    plist_free(value);
}

void PropertyList::setString(const char* key, const std::string& value) {
  set(key, plist_new_string(value.c_str()));
}

void PropertyList::setBoolean(const char* key, bool value) {
  set(key, plist_new_bool(value));
}

void PropertyList::setInteger(const char* key, std::int64_t value) {
  set(key, plist_new_uint(static_cast<uint64_t>(value)));
}

void PropertyList::setReal(const char* key, double value) {
  set(key, plist_new_real(value));
}

void PropertyList::setData(const char* key, std::string_view bytes) {
  set(key, plist_new_data(bytes.data(), bytes.size()));
}

void PropertyList::append(plist_t value) {
  if (isArray(node_))
    plist_array_append_item(node_, value);
  else
    plist_free(value);
}

} // namespace halyard
