#include "core/PKG/PKGAppFacts.hpp"

#include <algorithm>

#include "core/Support/PropertyList.hpp"

namespace halyard {

namespace {

std::optional<std::string> nonEmpty(std::optional<std::string> value) {
  if (value && value->empty()) return std::nullopt;
  return value;
}

} // namespace

PKGAppFacts PKGAppFacts::read(const std::filesystem::path& app) {
  const PropertyList info = PropertyList::readFile(app / "Contents" / "Info.plist");
  // The typed look-ups answer none for a root that is not a dictionary.
  PKGAppFacts facts;
  if (auto identifier = info.string("CFBundleIdentifier")) {
    facts.identifier = std::move(*identifier);
  } else {
    std::string name = app.stem().string();
    std::replace(name.begin(), name.end(), ' ', '-');
    facts.identifier = identifierPrefix + name;
  }
  facts.version = info.string("CFBundleShortVersionString")
                      .value_or(info.string("CFBundleVersion").value_or("1.0"));
  facts.minimumSystemVersion = nonEmpty(info.string("LSMinimumSystemVersion"));
  facts.executableName = nonEmpty(info.string("CFBundleExecutable"));
  return facts;
}

} // namespace halyard
