#include "PropertyList.hpp"

#include "Files.hpp"

#include <cstdlib>

namespace macsim {

PropertyList::~PropertyList() {
  if (node_ != nullptr) plist_free(node_);
}

PropertyList& PropertyList::operator=(PropertyList&& other) noexcept {
  if (this != &other) {
    if (node_ != nullptr) plist_free(node_);
    node_ = other.node_;
    other.node_ = nullptr;
  }
  return *this;
}

PropertyList PropertyList::parse(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > 0xFFFFFFFFu) return {};
  const bool binary = bytes.substr(0, 6) == "bplist";
  if (!binary && bytes.find("<plist") == std::string_view::npos) return {};
  plist_t node = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &node);
  return PropertyList(node);
}

PropertyList PropertyList::readFile(const std::filesystem::path& path) {
  try {
    return parse(Files::read(path));
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

bool PropertyList::isDictionary() const {
  return node_ != nullptr && plist_get_node_type(node_) == PLIST_DICT;
}

std::string PropertyList::xml() const {
  if (node_ == nullptr) return {};
  char* text = nullptr;
  uint32_t length = 0;
  plist_to_xml(node_, &text, &length);
  std::string result(text != nullptr ? text : "", length);
  if (text != nullptr) plist_to_xml_free(text);
  return result;
}

std::optional<std::string> PropertyList::string(const char* key) const {
  return string(node_, key);
}

plist_t PropertyList::item(plist_t dictionary, const char* key) {
  if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT) return nullptr;
  return plist_dict_get_item(dictionary, key);
}

std::optional<std::string> PropertyList::string(plist_t dictionary, const char* key) {
  plist_t value = item(dictionary, key);
  if (value == nullptr || plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
  char* text = nullptr;
  plist_get_string_val(value, &text);
  std::string result(text != nullptr ? text : "");
  std::free(text);
  return result;
}

std::optional<std::string> PropertyList::data(plist_t dictionary, const char* key) {
  plist_t value = item(dictionary, key);
  if (value == nullptr || plist_get_node_type(value) != PLIST_DATA) return std::nullopt;
  uint64_t length = 0;
  const char* bytes = plist_get_data_ptr(value, &length);
  return std::string(bytes != nullptr ? bytes : "", bytes != nullptr ? length : 0);
}

std::optional<bool> PropertyList::boolean(plist_t dictionary, const char* key) {
  plist_t value = item(dictionary, key);
  if (value == nullptr || plist_get_node_type(value) != PLIST_BOOLEAN) return std::nullopt;
  uint8_t flag = 0;
  plist_get_bool_val(value, &flag);
  return flag != 0;
}

bool PropertyList::isArray(plist_t node) {
  return node != nullptr && plist_get_node_type(node) == PLIST_ARRAY;
}

std::vector<plist_t> PropertyList::elements(plist_t array) {
  std::vector<plist_t> result;
  if (!isArray(array)) return result;
  for (uint32_t i = 0; i < plist_array_get_size(array); ++i)
    result.push_back(plist_array_get_item(array, i));
  return result;
}

std::vector<std::pair<std::string, plist_t>> PropertyList::entries(plist_t dictionary) {
  std::vector<std::pair<std::string, plist_t>> result;
  if (dictionary == nullptr || plist_get_node_type(dictionary) != PLIST_DICT) return result;
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(dictionary, &iterator);
  while (true) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dictionary, iterator, &key, &value);
    if (key == nullptr) break;
    result.emplace_back(key, value);
    std::free(key);
  }
  std::free(iterator);
  return result;
}

void PropertyList::setString(const char* key, const std::string& value) {
  set(key, plist_new_string(value.c_str()));
}

void PropertyList::setBoolean(const char* key, bool value) {
  set(key, plist_new_bool(value ? 1 : 0));
}

void PropertyList::setInteger(const char* key, std::uint64_t value) {
  set(key, plist_new_uint(value));
}

void PropertyList::setData(const char* key, const void* bytes, std::size_t length) {
  set(key, plist_new_data(static_cast<const char*>(bytes), length));
}

void PropertyList::set(const char* key, PropertyList&& value) {
  set(key, value.node_);
  value.node_ = nullptr;
}

void PropertyList::append(PropertyList&& value) {
  if (node_ == nullptr || plist_get_node_type(node_) != PLIST_ARRAY) return;
  plist_array_append_item(node_, value.node_);
  value.node_ = nullptr;
}

void PropertyList::set(const char* key, plist_t item) {
  if (!isDictionary()) {
    plist_free(item);
    return;
  }
  plist_dict_set_item(node_, key, item);
}

} // namespace macsim
