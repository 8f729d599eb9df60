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
  if (!isDictionary()) return std::nullopt;
  plist_t item = plist_dict_get_item(node_, key);
  if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(item, &value);
  std::string result(value != nullptr ? value : "");
  std::free(value);
  return result;
}

void PropertyList::setString(const char* key, const std::string& value) {
  set(key, plist_new_string(value.c_str()));
}

void PropertyList::set(const char* key, plist_t item) {
  if (!isDictionary()) {
    plist_free(item);
    return;
  }
  plist_dict_set_item(node_, key, item);
}

} // namespace macsim
