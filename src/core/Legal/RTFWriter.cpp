#include "core/Legal/RTFWriter.hpp"

#include <unicode/utf16.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/Support/CodePoint.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

std::string familyName(const TextAttributes& attributes) {
  return attributes.fontFamily.value_or(RTFWriter::systemFontName);
}

// A font name without the characters that end it (";"), open or close groups, or escape, and
// without control characters; non-ASCII characters are escaped when it is written.
std::string cleanFontName(const std::string& name) {
  std::string out;
  for (const char c : name)
    if (c != ';' && c != '{' && c != '}' && c != '\\' && (static_cast<unsigned char>(c) >= 0x20))
      out += c;
  return out.empty() ? RTFWriter::systemFontName : out;
}

void appendCodeUnit(std::string& out, char16_t unit) {
  // \uN takes a signed 16-bit number.
  out += "\\u" + std::to_string(static_cast<int16_t>(unit)) + "?";
}

void appendText(std::string& out, const std::string& text) {
  for (std::size_t index = 0; index < text.size();) {
    const auto codePoint = CodePoint::next(text, index).value;
    switch (codePoint) {
    case '\\':
      out += "\\\\";
      break;
    case '{':
      out += "\\{";
      break;
    case '}':
      out += "\\}";
      break;
    case '\n':
      out += "\\par\n";
      break;
    case '\t':
      out += "\\tab ";
      break;
    default:
      if (codePoint >= 0x20 && codePoint < 0x7F) {
        out += static_cast<char>(codePoint);
      } else if (codePoint == '\r') {
        out += "\\par\n";
      } else if (codePoint < 0x20 || codePoint == 0x7F) {
        // Other controls have no place in a document.
      } else if (codePoint <= 0xFFFF) {
        appendCodeUnit(out, static_cast<char16_t>(codePoint));
      } else {
        appendCodeUnit(out, U16_LEAD(codePoint));
        appendCodeUnit(out, U16_TRAIL(codePoint));
      }
    }
  }
}

} // namespace

std::optional<std::string> RTFWriter::write(const StyledText& text) {
  std::vector<std::string> fonts;
  std::vector<TextColor> colors;
  for (const auto& run : text.runs) {
    if (!text::isValidUTF8(run.text)) return std::nullopt;
    const auto family = cleanFontName(familyName(run.attributes));
    if (std::find(fonts.begin(), fonts.end(), family) == fonts.end()) fonts.push_back(family);
    if (run.attributes.color &&
        std::find(colors.begin(), colors.end(), *run.attributes.color) == colors.end())
      colors.push_back(*run.attributes.color);
  }
  if (fonts.empty()) fonts.push_back(systemFontName);

  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n{\\fonttbl";
  for (std::size_t index = 0; index < fonts.size(); ++index) {
    out += "\\f" + std::to_string(index) + "\\fnil\\fcharset0 ";
    appendText(out, fonts[index]);
    out += ";";
  }
  out += "}\n{\\colortbl;";
  for (const auto& color : colors)
    out += "\\red" + std::to_string(color.red) + "\\green" + std::to_string(color.green) +
           "\\blue" + std::to_string(color.blue) + ";";
  out += "}\n\\pard\\plain\n";

  bool underlined = false;
  for (const auto& run : text.runs) {
    const auto& attributes = run.attributes;
    const auto font = std::find(fonts.begin(), fonts.end(), cleanFontName(familyName(attributes))) -
                      fonts.begin();
    const auto halfPoints =
        std::lround(std::clamp(attributes.fontSize.value_or(12), 1.0, 1638.0) * 2);
    std::size_t color = 0; // 0: the automatic colour
    if (attributes.color)
      color = static_cast<std::size_t>(std::find(colors.begin(), colors.end(), *attributes.color) -
                                       colors.begin()) +
              1;
    out += "\\f" + std::to_string(font) + "\\fs" + std::to_string(halfPoints) +
           (attributes.bold ? "\\b" : "\\b0") + (attributes.italic ? "\\i" : "\\i0") +
           // Underlining is written only where it starts and ends.
           (attributes.underline ? "\\ul"
            : underlined         ? "\\ulnone"
                                 : "") +
           "\\cf" + std::to_string(color) + " ";
    underlined = attributes.underline;
    appendText(out, run.text);
  }
  out += "}";
  return out;
}

} // namespace halyard
