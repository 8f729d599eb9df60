#include "core/PKG/PKGDistribution.hpp"

#include <cstdint>
#include <vector>

#include "core/Support/CodePoint.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

bool allowedInXML(std::int32_t character) {
  if (character < 0x20 || character == 0x7F) return false;
  return character != 0xFFFE && character != 0xFFFF;
}

} // namespace

std::string PKGDistribution::escaped(std::string_view value) {
  std::string result;
  result.reserve(value.size());
  for (std::size_t index = 0; index < value.size();) {
    const auto character = CodePoint::next(value, index);
    if (!character.isValid()) {
      result += "\xEF\xBF\xBD";
      continue;
    }
    if (!allowedInXML(character.value)) continue;
    switch (character.value) {
    case '&':
      result += "&amp;";
      break;
    case '<':
      result += "&lt;";
      break;
    case '>':
      result += "&gt;";
      break;
    case '"':
      result += "&quot;";
      break;
    default:
      result.append(character.bytes);
    }
  }
  return result;
}

std::string PKGDistribution::hostArchitecturesFrom(const std::vector<std::string>& names) {
  std::vector<std::string> kept;
  for (const auto& word : names) {
    if (word != "arm64" && word != "x86_64") continue;
    bool seen = false;
    for (const auto& architecture : kept)
      seen = seen || architecture == word;
    if (!seen) kept.push_back(word);
  }
  return kept.empty() ? defaultArchitectures : text::joined(kept, ",");
}

std::string PKGDistribution::text() const {
  const std::string id = escaped(identifier);
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                    "<installer-gui-script minSpecVersion=\"2\">\n";
  xml += "    <title>" + escaped(title) + "</title>\n";
  xml += "    <options customize=\"never\" require-scripts=\"false\" hostArchitectures=\"" +
         escaped(hostArchitectures) + "\"/>\n";
  xml += "    <domains enable_localSystem=\"true\" enable_currentUserHome=\"true\" "
         "enable_anywhere=\"true\"/>\n";
  if (hasLicense) xml += "    <license file=\"License.rtf\"/>\n";
  if (minimumSystemVersion && !minimumSystemVersion->empty()) {
    xml += "    <volume-check>\n"
           "        <allowed-os-versions>\n"
           "            <os-version min=\"" +
           escaped(*minimumSystemVersion) +
           "\"/>\n"
           "        </allowed-os-versions>\n"
           "    </volume-check>\n";
  }
  xml += "    <choices-outline>\n"
         "        <line choice=\"default\">\n"
         "            <line choice=\"" +
         id +
         "\"/>\n"
         "        </line>\n"
         "    </choices-outline>\n"
         "    <choice id=\"default\"/>\n"
         "    <choice id=\"" +
         id +
         "\" visible=\"false\">\n"
         "        <pkg-ref id=\"" +
         id +
         "\"/>\n"
         "    </choice>\n";
  xml += "    <pkg-ref id=\"" + id + "\" version=\"" + escaped(version) +
         "\" onConclusion=\"none\">" + escaped(componentFileName) + "</pkg-ref>\n";
  return xml + "</installer-gui-script>\n";
}

} // namespace halyard
