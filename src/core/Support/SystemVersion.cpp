#include "core/Support/SystemVersion.hpp"

#include "core/Support/PropertyList.hpp"
#include "core/Support/ToolRoot.hpp"

namespace halyard {

std::optional<std::string> SystemVersion::currentText() {
  return PropertyList::readFile(ToolRoot::path(file)).string("ProductVersion");
}

Version SystemVersion::current() {
  const auto version = currentText();
  return version ? Version::leading(*version) : Version{};
}

} // namespace halyard
