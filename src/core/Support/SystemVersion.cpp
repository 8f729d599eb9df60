#include "core/Support/SystemVersion.hpp"

#include <charconv>

#include "core/Support/PropertyList.hpp"
#include "core/Support/ToolRoot.hpp"

namespace halyard {

SystemVersion SystemVersion::parse(std::string_view text) {
  int parts[3] = {0, 0, 0};
  const char* cursor = text.data();
  const char* end = text.data() + text.size();
  for (int index = 0; index < 3 && cursor < end; ++index) {
    const auto [next, error] = std::from_chars(cursor, end, parts[index]);
    if (error != std::errc() || parts[index] < 0) {
      if (index == 0) return {};
      parts[index] = 0;
      break;
    }
    cursor = next;
    if (cursor == end || *cursor != '.') break;
    ++cursor;
  }
  return {parts[0], parts[1], parts[2]};
}

std::optional<std::string> SystemVersion::currentText() {
  return PropertyList::readFile(ToolRoot::path(file)).string("ProductVersion");
}

SystemVersion SystemVersion::current() {
  const auto version = currentText();
  return version ? parse(*version) : SystemVersion{};
}

} // namespace halyard
