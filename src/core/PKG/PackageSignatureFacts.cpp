#include "core/PKG/PackageSignatureFacts.hpp"

#include <utility>

#include "core/Support/Text.hpp"
#include "core/Support/ToolOutputText.hpp"

namespace halyard {

namespace {
bool isUpperAlphanumeric(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
} // namespace

PackageSignatureFacts PackageSignatureFacts::from(ToolProcessResult check) {
  using text::firstValue;
  PackageSignatureFacts facts;
  facts.output = check.combined();
  facts.isSigned = check.status == 0 && !text::containsIgnoringCase(facts.output, "no signature");
  facts.signer = signerName(facts.output);
  facts.teamIdentifier = firstValue(facts.output, "Team Identifier: ");
  if (!facts.teamIdentifier && facts.signer)
    facts.teamIdentifier = teamIdentifierInName(*facts.signer);
  facts.trustedTimestamp =
      text::containsIgnoringCase(facts.output, "signed with a trusted timestamp");
  facts.packageIdentifier = firstValue(facts.output, "Package Identifier: ");
  facts.developerIDInstaller = text::contains(facts.output, "Developer ID Installer");
  facts.run = std::move(check);
  return facts;
}

std::optional<std::string> PackageSignatureFacts::signerName(std::string_view output) {
  std::size_t start = 0;
  while (start <= output.size()) {
    auto end = output.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = output.size();
    const auto line = text::trimmed(output.substr(start, end - start));
    if (line.starts_with("Developer ID Installer:")) return line;
    if (line.starts_with("1. ")) return text::trimmed(line.substr(3));
    if (line.starts_with("Signer:")) return text::trimmed(line.substr(7));
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<std::string> PackageSignatureFacts::teamIdentifierInName(std::string_view signer) {
  // "(" ten upper-case letters or digits ")" and nothing but white space after it.
  const auto end = signer.find_last_not_of(" \t\r\n\v\f");
  if (end == std::string_view::npos || end < 11 || signer[end] != ')' || signer[end - 11] != '(')
    return std::nullopt;
  const auto candidate = signer.substr(end - 10, 10);
  for (const char c : candidate) {
    if (!isUpperAlphanumeric(c)) return std::nullopt;
  }
  return std::string(candidate);
}

} // namespace halyard
