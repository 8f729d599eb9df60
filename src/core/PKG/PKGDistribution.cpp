#include "core/PKG/PKGDistribution.hpp"

#include <unicode/utf8.h>

#include <cstdint>
#include <sstream>
#include <vector>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

bool allowedInXML(UChar32 character) {
  if (character < 0x20 || character == 0x7F) return false;
  return character != 0xFFFE && character != 0xFFFF;
}

} // namespace

std::string PKGDistribution::escaped(std::string_view value) {
  std::string result;
  result.reserve(value.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(value.data());
  const auto length = static_cast<int32_t>(value.size());
  int32_t index = 0;
  while (index < length) {
    const int32_t start = index;
    UChar32 character = 0;
    U8_NEXT(bytes, index, length, character);
    if (character < 0) {
      result += "\xEF\xBF\xBD";
      continue;
    }
    if (!allowedInXML(character)) continue;
    switch (character) {
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
      result.append(value.substr(static_cast<size_t>(start), static_cast<size_t>(index - start)));
    }
  }
  return result;
}

std::string PKGDistribution::hostArchitecturesFrom(std::string_view lipoOutput) {
  std::vector<std::string> kept;
  std::istringstream words{std::string(lipoOutput)};
  for (std::string word; words >> word;) {
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
