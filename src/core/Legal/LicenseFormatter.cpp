#include "core/Legal/LicenseFormatter.hpp"

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Legal/RTFWriter.hpp"
#include "core/Support/CodePoint.hpp"

#include <unicode/uchar.h>

namespace halyard {

namespace {

constexpr TextColor black{0, 0, 0};

std::string replacedAll(std::string text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  while (true) {
    const auto found = text.find(from, start);
    if (found == std::string::npos) break;
    out.append(text, start, found - start);
    out += to;
    start = found + from.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

} // namespace

StyledText LicenseFormatter::composeBody(const std::vector<LicenseDocument>& documents) {
  TextAttributes separator;
  separator.fontSize = 12;
  separator.color = black;
  TextAttributes heading;
  heading.fontSize = 16;
  heading.bold = true;
  heading.color = black;

  std::string rule;
  for (int i = 0; i < 24; ++i)
    rule += "\u2500";

  StyledText body;
  for (std::size_t index = 0; index < documents.size(); ++index) {
    if (index > 0) body.append("\n\n" + rule + "\n\n", separator);
    body.append(documents[index].title + "\n\n", heading);
    body.append(documents[index].attributedText);
  }
  return body;
}

std::string LicenseFormatter::plainText(const StyledText& text) {
  auto plain = text.string();
  for (const char* lookAlike : {"\uF0B7", "\u25E6", "\u25AA", "\u2028", "\u2029"})
    plain = replacedAll(std::move(plain), lookAlike, "\u2022");
  plain = replacedAll(std::move(plain), "\t", "    ");
  plain = replacedAll(std::move(plain), "\r\n", "\n");
  return replacedAll(std::move(plain), "\r", "\n");
}

std::string LicenseFormatter::rtfData(const StyledText& text) {
  StyledText filled;
  for (const auto& run : text.runs) {
    auto attributes = run.attributes;
    if (!attributes.color) attributes.color = black;
    if (!attributes.fontSize) attributes.fontSize = 12;
    filled.append(run.text, attributes);
  }
  if (auto rtf = RTFWriter::write(filled)) return *rtf;
  return plainText(text);
}

} // namespace halyard

namespace halyard {

bool LicenseFormatter::isBlank(std::string_view text) {
  for (std::size_t index = 0; index < text.size();) {
    const auto codePoint = CodePoint::next(text, index).value;
    if (codePoint < 0) return true;
    const bool space = (codePoint >= 0x09 && codePoint <= 0x0D) || codePoint == 0x85 ||
                       u_charType(codePoint) == U_SPACE_SEPARATOR ||
                       u_charType(codePoint) == U_LINE_SEPARATOR ||
                       u_charType(codePoint) == U_PARAGRAPH_SEPARATOR;
    if (!space) return false;
  }
  return true;
}

} // namespace halyard
