#include "core/Signing/CodeSignDetails.hpp"

#include <algorithm>
#include <string_view>
#include <utility>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr std::uint32_t adHocBit = 0x2;

// Calls `take(key, value)` for every "Key=value" line, trimmed of blanks and tabs.
template <typename Take> void eachValue(std::string_view output, Take&& take) {
  std::size_t start = 0;
  while (start < output.size()) {
    auto end = output.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = output.size();
    const auto line = text::trimmed(output.substr(start, end - start), " \t");
    const auto equals = line.find('=');
    if (equals != std::string::npos)
      take(std::string_view(line).substr(0, equals),
           text::trimmed(std::string_view(line).substr(equals + 1), " \t"));
    start = end + 1;
  }
}

void keepFirst(std::optional<std::string>& field, std::string value) {
  if (!field && !value.empty()) field = std::move(value);
}

} // namespace

std::optional<std::string> CodeSignDetails::signer() const {
  if (authorities.empty()) return std::nullopt;
  return authorities.front();
}

bool CodeSignDetails::developerIDApplication() const {
  return !authorities.empty() && authorities.front().starts_with("Developer ID Application");
}

CodeSignDetails CodeSignDetails::from(ToolProcessResult run) {
  CodeSignDetails details;
  const auto output = run.combined();
  eachValue(output, [&](std::string_view key, std::string value) {
    if (key == "Identifier") {
      keepFirst(details.identifier, std::move(value));
    } else if (key == "Authority") {
      if (!value.empty()) details.authorities.push_back(std::move(value));
    } else if (key == "Timestamp") {
      keepFirst(details.timestamp, std::move(value));
    } else if (key == "TeamIdentifier") {
      if (value != "not set") keepFirst(details.teamIdentifier, std::move(value));
    } else if (key == "Signature") {
      if (value == "adhoc") details.adHoc = true;
    }
  });
  details.flags = CodeDirectoryFlags::parse(output);
  if (details.flags) {
    const auto& names = details.flags->names;
    if ((details.flags->value & adHocBit) != 0 ||
        std::find(names.begin(), names.end(), "adhoc") != names.end())
      details.adHoc = true;
  }
  details.notSigned = text::containsIgnoringCase(output, "not signed at all");
  details.run = std::move(run);
  return details;
}

} // namespace halyard
