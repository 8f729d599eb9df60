#include "core/Legal/OfficeDocumentReader.hpp"

#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/DocumentContainer.hpp"
#include "core/Legal/ListLabel.hpp"
#include "core/Legal/StyledTextBuilder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// Deeper nesting than this is not descended into (libxml2 itself stops far earlier).
constexpr int maximumDepth = 256;

const char* const wordMain = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const wordStrict = "http://purl.oclc.org/ooxml/wordprocessingml/main";
const char* const markupCompatibility =
    "http://schemas.openxmlformats.org/markup-compatibility/2006";
const char* const odfOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
const char* const odfText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
const char* const odfStyle = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
const char* const odfFO = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";
const char* const odfSVG = "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0";
const char* const odfTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";

bool inNamespace(const xmlNode* node, const char* uri) {
  return node->ns != nullptr && node->ns->href != nullptr &&
         std::strcmp(reinterpret_cast<const char*>(node->ns->href), uri) == 0;
}

bool named(const xmlNode* node, const char* local) {
  return std::strcmp(reinterpret_cast<const char*>(node->name), local) == 0;
}

bool isElement(const xmlNode* node, const char* uri, const char* local) {
  return node->type == XML_ELEMENT_NODE && inNamespace(node, uri) && named(node, local);
}

bool isWord(const xmlNode* node, const char* local) {
  return isElement(node, wordMain, local) || isElement(node, wordStrict, local);
}

// An attribute in a namespace; none when absent.
std::optional<std::string> attribute(const xmlNode* node, const char* uri, const char* local) {
  xmlChar* value = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>(local),
                                reinterpret_cast<const xmlChar*>(uri));
  if (value == nullptr) return std::nullopt;
  std::string result(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return result;
}

std::optional<std::string> wordValue(const xmlNode* node, const char* local = "val") {
  if (auto value = attribute(node, wordMain, local)) return value;
  return attribute(node, wordStrict, local);
}

// The text of a text node's direct children; entity references are never expanded.
std::string directText(const xmlNode* node) {
  std::string text;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next)
    if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) &&
        child->content != nullptr)
      text += reinterpret_cast<const char*>(child->content);
  return text;
}

std::optional<double> number(std::string_view text) {
  // std::from_chars for double is missing from some standard libraries still in use.
  if (text.empty() || text.size() > 32) return std::nullopt;
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !(value > 0) || value > 1000) return std::nullopt;
  return value;
}

// "RRGGBB", with or without a leading "#".
std::optional<TextColor> hexColor(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6) return std::nullopt;
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + 6, value, 16);
  if (error != std::errc() || end != text.data() + 6) return std::nullopt;
  return TextColor{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value)};
}

// ---- Office Open XML ----

bool wordToggle(const xmlNode* property) {
  const auto value = wordValue(property);
  return !value || !(*value == "0" || *value == "false" || *value == "off");
}

TextAttributes wordRunAttributes(const xmlNode* run) {
  TextAttributes attributes;
  for (const xmlNode* child = run->children; child != nullptr; child = child->next) {
    if (!isWord(child, "rPr")) continue;
    for (const xmlNode* property = child->children; property != nullptr;
         property = property->next) {
      if (isWord(property, "b")) {
        attributes.bold = wordToggle(property);
      } else if (isWord(property, "i")) {
        attributes.italic = wordToggle(property);
      } else if (isWord(property, "u")) {
        attributes.underline = wordValue(property).value_or("single") != "none";
      } else if (isWord(property, "color")) {
        if (const auto value = wordValue(property)) attributes.color = hexColor(*value);
      } else if (isWord(property, "sz")) {
        // Half-points.
        if (const auto value = wordValue(property))
          if (const auto halfPoints = number(*value)) attributes.fontSize = *halfPoints / 2;
      } else if (isWord(property, "rFonts")) {
        auto family = wordValue(property, "ascii");
        if (!family) family = wordValue(property, "hAnsi");
        if (family && !family->empty()) attributes.fontFamily = *family;
      }
    }
  }
  return attributes;
}

void readWordRun(const xmlNode* run, StyledTextBuilder& builder) {
  const TextAttributes attributes = wordRunAttributes(run);
  for (const xmlNode* child = run->children; child != nullptr; child = child->next) {
    if (isWord(child, "t")) {
      builder.append(directText(child), attributes);
    } else if (isWord(child, "tab") || isWord(child, "ptab")) {
      builder.append("\t", attributes);
    } else if (isWord(child, "br") || isWord(child, "cr")) {
      builder.append("\n", attributes);
    } else if (isWord(child, "noBreakHyphen")) {
      builder.append("\u2011", attributes);
    }
  }
}

// The most list definitions (abstract and instances) read from a numbering part.
constexpr std::size_t maximumLists = 1024;

void appendCharacter(std::string& out, char32_t c) {
  text::appendUTF8(out, ListLabel::visibleBullet(c));
}

// UTF-8 text with the private-use Symbol bullets some writers use replaced by what they show.
std::string visibleBullets(std::string_view text) {
  std::string out;
  for (std::size_t index = 0; index < text.size(); ++index) {
    // U+F0xx is EF 80..83 xx in UTF-8.
    if (index + 2 < text.size() && static_cast<unsigned char>(text[index]) == 0xEF &&
        (static_cast<unsigned char>(text[index + 1]) & 0xFC) == 0x80) {
      const char32_t c = 0xF000 | ((static_cast<unsigned char>(text[index + 1]) & 0x3F) << 6) |
                         (static_cast<unsigned char>(text[index + 2]) & 0x3F);
      appendCharacter(out, c);
      index += 2;
    } else {
      out += text[index];
    }
  }
  return out;
}

std::optional<std::int32_t> integer(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

ListLabel::Format wordNumberFormat(std::string_view name) {
  if (name == "decimalZero") return ListLabel::Format::decimalZero;
  if (name == "upperRoman") return ListLabel::Format::upperRoman;
  if (name == "lowerRoman") return ListLabel::Format::lowerRoman;
  if (name == "upperLetter") return ListLabel::Format::upperLetter;
  if (name == "lowerLetter") return ListLabel::Format::lowerLetter;
  if (name == "bullet" || name == "none") return ListLabel::Format::none;
  return ListLabel::Format::decimal;
}

// The list definitions of a word/numbering.xml part: per list, per level, its number format,
// its label text with %1 to %9 standing for the numbers of the levels, its start and what
// follows the label; and the numbers counted so far.
class WordNumbering {
public:
  explicit WordNumbering(const xmlNode* root) {
    if (root == nullptr) return;
    for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
      if (isWord(child, "abstractNum") && abstracts_.size() < maximumLists) {
        if (const auto id = wordValue(child, "abstractNumId")) abstracts_[*id] = levels(child);
      } else if (isWord(child, "num") && lists_.size() < maximumLists) {
        const auto id = wordValue(child, "numId");
        if (!id) continue;
        List& list = lists_[*id];
        for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
          if (isWord(part, "abstractNumId")) list.abstract = wordValue(part).value_or("");
          if (!isWord(part, "lvlOverride")) continue;
          const auto level = integer(wordValue(part, "ilvl").value_or(""));
          for (const xmlNode* start = part->children; start != nullptr; start = start->next)
            if (isWord(start, "startOverride") && level && *level >= 0 &&
                static_cast<std::size_t>(*level) < ListLabel::maximumLevels)
              list.starts[static_cast<std::size_t>(*level)] =
                  integer(wordValue(start).value_or(""));
        }
      }
    }
  }

  // The label of a paragraph with the given list and level, counted on from the list's
  // previous paragraphs.
  std::optional<std::string> label(const std::string& listId, std::int32_t levelNumber) {
    const auto list = lists_.find(listId);
    if (list == lists_.end() || levelNumber < 0 ||
        static_cast<std::size_t>(levelNumber) >= ListLabel::maximumLevels)
      return std::nullopt;
    const auto abstract = abstracts_.find(list->second.abstract);
    if (abstract == abstracts_.end()) return std::nullopt;
    const auto& levels = abstract->second;
    const auto index = static_cast<std::size_t>(levelNumber);
    if (!levels[index]) return std::nullopt;
    const Level& level = *levels[index];
    list->second.counters.advance(index, list->second.starts[index].value_or(level.start));

    std::string text;
    for (std::size_t at = 0; at < level.text.size(); ++at) {
      const char c = level.text[at];
      if (c == '%' && at + 1 < level.text.size() && level.text[at + 1] >= '1' &&
          level.text[at + 1] <= '9') {
        const auto shown = static_cast<std::size_t>(level.text[++at] - '1');
        const auto format = levels[shown] ? levels[shown]->format : ListLabel::Format::decimal;
        text += ListLabel::number(list->second.counters.value(shown), format);
      } else {
        text += c;
      }
    }
    if (text.empty()) return std::nullopt;
    return visibleBullets(text) + level.suffix;
  }

private:
  struct Level {
    ListLabel::Format format = ListLabel::Format::decimal;
    std::string text;
    std::int32_t start = 1;
    std::string suffix = "\t";
  };
  using Levels = std::array<std::optional<Level>, ListLabel::maximumLevels>;
  struct List {
    std::string abstract;
    std::array<std::optional<std::int32_t>, ListLabel::maximumLevels> starts;
    ListLabel::Counters counters;
  };

  static Levels levels(const xmlNode* abstract) {
    Levels result;
    for (const xmlNode* child = abstract->children; child != nullptr; child = child->next) {
      if (!isWord(child, "lvl")) continue;
      const auto index = integer(wordValue(child, "ilvl").value_or(""));
      if (!index || *index < 0 || static_cast<std::size_t>(*index) >= ListLabel::maximumLevels)
        continue;
      Level level;
      for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
        const auto value = wordValue(part).value_or("");
        if (isWord(part, "numFmt")) level.format = wordNumberFormat(value);
        if (isWord(part, "lvlText")) level.text = value.substr(0, 64);
        if (isWord(part, "start")) level.start = integer(value).value_or(1);
        if (isWord(part, "suff"))
          level.suffix = value == "space" ? " " : value == "nothing" ? "" : "\t";
      }
      result[static_cast<std::size_t>(*index)] = std::move(level);
    }
    return result;
  }

  std::map<std::string, Levels> abstracts_;
  std::map<std::string, List> lists_;
};

// The list label of a paragraph whose properties name a list (w:numPr), if any.
std::optional<std::string> wordListLabel(const xmlNode* paragraph, WordNumbering& numbering) {
  for (const xmlNode* child = paragraph->children; child != nullptr; child = child->next) {
    if (!isWord(child, "pPr")) continue;
    for (const xmlNode* property = child->children; property != nullptr;
         property = property->next) {
      if (!isWord(property, "numPr")) continue;
      std::optional<std::string> list;
      std::int32_t level = 0;
      for (const xmlNode* part = property->children; part != nullptr; part = part->next) {
        if (isWord(part, "numId")) list = wordValue(part);
        if (isWord(part, "ilvl")) level = integer(wordValue(part).value_or("")).value_or(0);
      }
      if (list) return numbering.label(*list, level);
    }
  }
  return std::nullopt;
}

void readWordContent(const xmlNode* node, StyledTextBuilder& builder, WordNumbering& numbering,
                     int depth) {
  if (depth > maximumDepth) return;
  bool firstCell = true;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (isWord(child, "tc")) {
      if (!firstCell) builder.startNextCell(TextAttributes{});
      firstCell = false;
      readWordContent(child, builder, numbering, depth + 1);
    } else if (isWord(child, "r")) {
      readWordRun(child, builder);
    } else if (isWord(child, "p")) {
      if (const auto label = wordListLabel(child, numbering)) builder.append(*label, {});
      readWordContent(child, builder, numbering, depth + 1);
      builder.endParagraph();
    } else if (isWord(child, "pPr") || isWord(child, "sectPr") || isWord(child, "del") ||
               isWord(child, "moveFrom") || isElement(child, markupCompatibility, "Fallback")) {
      // Properties, deleted or moved-away text, and the fallback copy of content given twice.
    } else {
      readWordContent(child, builder, numbering, depth + 1);
    }
  }
}

// ---- OpenDocument ----

// Text properties of one style; each is absent when the style leaves it to its parent.
struct StyleProperties {
  std::optional<std::string> parent;
  std::optional<std::string> fontFamily;
  std::optional<double> fontSize;
  std::optional<bool> bold;
  std::optional<bool> italic;
  std::optional<bool> underline;
  std::optional<TextColor> color;
};

using StyleTable = std::map<std::string, StyleProperties, std::less<>>;

std::string unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::map<std::string, std::string> fontFaces(const xmlNode* root) {
  std::map<std::string, std::string> faces;
  for (const xmlNode* section = root->children; section != nullptr; section = section->next) {
    if (!isElement(section, odfOffice, "font-face-decls")) continue;
    for (const xmlNode* face = section->children; face != nullptr; face = face->next) {
      if (!isElement(face, odfStyle, "font-face")) continue;
      const auto name = attribute(face, odfStyle, "name");
      const auto family = attribute(face, odfSVG, "font-family");
      if (name && family) faces[*name] = unquoted(*family);
    }
  }
  return faces;
}

StyleTable automaticStyles(const xmlNode* root) {
  const auto faces = fontFaces(root);
  StyleTable styles;
  for (const xmlNode* section = root->children; section != nullptr; section = section->next) {
    if (!isElement(section, odfOffice, "automatic-styles")) continue;
    for (const xmlNode* style = section->children; style != nullptr; style = style->next) {
      if (!isElement(style, odfStyle, "style")) continue;
      const auto name = attribute(style, odfStyle, "name");
      if (!name) continue;
      StyleProperties properties;
      properties.parent = attribute(style, odfStyle, "parent-style-name");
      for (const xmlNode* part = style->children; part != nullptr; part = part->next) {
        if (!isElement(part, odfStyle, "text-properties")) continue;
        if (const auto weight = attribute(part, odfFO, "font-weight")) {
          const auto numeric = number(*weight);
          properties.bold = *weight == "bold" || (numeric && *numeric >= 600);
        }
        if (const auto slant = attribute(part, odfFO, "font-style"))
          properties.italic = *slant == "italic" || *slant == "oblique";
        if (const auto color = attribute(part, odfFO, "color")) properties.color = hexColor(*color);
        if (const auto line = attribute(part, odfStyle, "text-underline-style"))
          properties.underline = *line != "none";
        if (const auto size = attribute(part, odfFO, "font-size")) {
          if (size->size() > 2 && size->substr(size->size() - 2) == "pt")
            properties.fontSize = number(std::string_view(*size).substr(0, size->size() - 2));
        }
        if (const auto font = attribute(part, odfStyle, "font-name")) {
          const auto face = faces.find(*font);
          properties.fontFamily = face != faces.end() ? face->second : *font;
        } else if (const auto family = attribute(part, odfFO, "font-family")) {
          properties.fontFamily = unquoted(*family);
        }
      }
      styles[*name] = std::move(properties);
    }
  }
  return styles;
}

// The attributes of text inside an element whose style is `styleName`, starting from the
// attributes of the text around it.
TextAttributes styled(TextAttributes attributes, const StyleTable& styles,
                      const std::optional<std::string>& styleName) {
  // Parents first: collect the chain (bounded, so a cycle cannot loop), then apply outermost
  // first.
  std::vector<const StyleProperties*> chain;
  std::optional<std::string> name = styleName;
  while (name && chain.size() < 16) {
    const auto style = styles.find(*name);
    if (style == styles.end()) break;
    chain.push_back(&style->second);
    name = style->second.parent;
  }
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const StyleProperties& properties = **it;
    if (properties.fontFamily) attributes.fontFamily = properties.fontFamily;
    if (properties.fontSize) attributes.fontSize = properties.fontSize;
    if (properties.bold) attributes.bold = *properties.bold;
    if (properties.italic) attributes.italic = *properties.italic;
    if (properties.underline) attributes.underline = *properties.underline;
    if (properties.color) attributes.color = properties.color;
  }
  return attributes;
}

// The list styles of an OpenDocument (text:list-style) with the numbers counted so far, and
// where the reader is: the style and level of the list it is in, and whether the first
// paragraph of a list item is still to come.
class OpenDocumentLists {
public:
  explicit OpenDocumentLists(const xmlNode* root) {
    for (const xmlNode* section = root->children; section != nullptr; section = section->next) {
      if (!isElement(section, odfOffice, "automatic-styles")) continue;
      for (const xmlNode* style = section->children; style != nullptr; style = style->next) {
        if (!isElement(style, odfText, "list-style") || styles_.size() >= maximumLists) continue;
        if (const auto name = attribute(style, odfStyle, "name")) styles_[*name] = levels(style);
      }
    }
  }

  // Entering a list: its style (or the enclosing list's) and one level deeper. A list at the
  // top starts counting again unless it continues an earlier one.
  struct Position {
    std::string style;
    int level = -1;
    bool itemStart = false;
  };
  Position enter(const xmlNode* list) {
    const Position outer = position_;
    position_.style = attribute(list, odfText, "style-name").value_or(outer.style);
    position_.level = outer.level + 1;
    position_.itemStart = false;
    if (position_.level == 0 && attribute(list, odfText, "continue-numbering") != "true" &&
        !attribute(list, odfText, "continue-list"))
      counters_[position_.style] = ListLabel::Counters{};
    return outer;
  }
  void leave(const Position& outer) { position_ = outer; }
  void startItem(bool header) { position_.itemStart = !header; }

  // The label of a paragraph: set for the first paragraph of a list item.
  std::optional<std::string> paragraphLabel() {
    if (!position_.itemStart) return std::nullopt;
    position_.itemStart = false;
    const auto style = styles_.find(position_.style);
    if (style == styles_.end() || position_.level < 0 ||
        static_cast<std::size_t>(position_.level) >= ListLabel::maximumLevels)
      return std::nullopt;
    const auto index = static_cast<std::size_t>(position_.level);
    const auto& levels = style->second;
    if (!levels[index]) return std::nullopt;
    const Level& level = *levels[index];
    auto& counters = counters_[position_.style];
    counters.advance(index, level.start);
    if (level.bullet) return *level.bullet + level.follow;
    // The numbers of the levels shown, outermost first, joined by dots.
    std::string numbers;
    const std::size_t shown = std::clamp<std::size_t>(level.displayLevels, 1, index + 1);
    for (std::size_t outer = index + 1 - shown; outer <= index; ++outer) {
      if (!numbers.empty()) numbers += '.';
      const auto format = levels[outer] ? levels[outer]->format : ListLabel::Format::decimal;
      numbers += ListLabel::number(counters.value(outer), format);
    }
    if (level.format == ListLabel::Format::none) numbers.clear();
    const auto label = level.prefix + numbers + level.suffix;
    if (label.empty()) return std::nullopt;
    return label + level.follow;
  }

private:
  struct Level {
    std::optional<std::string> bullet;
    ListLabel::Format format = ListLabel::Format::decimal;
    std::string prefix, suffix;
    std::int32_t start = 1;
    std::size_t displayLevels = 1;
    std::string follow = "\t";
  };
  using Levels = std::array<std::optional<Level>, ListLabel::maximumLevels>;

  static ListLabel::Format format(std::string_view name) {
    if (name == "i") return ListLabel::Format::lowerRoman;
    if (name == "I") return ListLabel::Format::upperRoman;
    if (name == "a") return ListLabel::Format::lowerLetter;
    if (name == "A") return ListLabel::Format::upperLetter;
    if (name.empty()) return ListLabel::Format::none;
    return ListLabel::Format::decimal;
  }

  static Levels levels(const xmlNode* style) {
    Levels result;
    for (const xmlNode* child = style->children; child != nullptr; child = child->next) {
      const bool bullet = isElement(child, odfText, "list-level-style-bullet");
      if (!bullet && !isElement(child, odfText, "list-level-style-number")) continue;
      const auto number = integer(attribute(child, odfText, "level").value_or(""));
      if (!number || *number < 1 || static_cast<std::size_t>(*number) > ListLabel::maximumLevels)
        continue;
      Level level;
      if (bullet) {
        level.bullet =
            visibleBullets(attribute(child, odfText, "bullet-char").value_or("").substr(0, 8));
      } else {
        level.format = format(attribute(child, odfStyle, "num-format").value_or(""));
        level.prefix = attribute(child, odfStyle, "num-prefix").value_or("").substr(0, 64);
        level.suffix = attribute(child, odfStyle, "num-suffix").value_or("").substr(0, 64);
        level.start = integer(attribute(child, odfText, "start-value").value_or("")).value_or(1);
        level.displayLevels = static_cast<std::size_t>(std::max(
            1, integer(attribute(child, odfText, "display-levels").value_or("")).value_or(1)));
      }
      for (const xmlNode* properties = child->children; properties != nullptr;
           properties = properties->next)
        for (const xmlNode* alignment = properties->children; alignment != nullptr;
             alignment = alignment->next)
          if (isElement(alignment, odfStyle, "list-level-label-alignment")) {
            const auto follow = attribute(alignment, odfText, "label-followed-by");
            if (follow == "space") level.follow = " ";
            if (follow == "nothing") level.follow = "";
          }
      result[static_cast<std::size_t>(*number - 1)] = std::move(level);
    }
    return result;
  }

  std::map<std::string, Levels> styles_;
  std::map<std::string, ListLabel::Counters> counters_;
  Position position_;
};

// OpenDocument collapses white space in paragraphs: every run of blanks, tabs and line breaks
// is one space, and a paragraph starts without one (text:s, text:tab and text:line-break
// write the others).
void appendCollapsed(std::string_view text, const TextAttributes& attributes,
                     StyledTextBuilder& builder, bool& lastWasSpace) {
  std::string collapsed;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (!lastWasSpace && !(collapsed.empty() && builder.atParagraphStart())) collapsed += ' ';
      lastWasSpace = true;
    } else {
      collapsed += c;
      lastWasSpace = false;
    }
  }
  builder.append(collapsed, attributes);
}

// Text outside paragraphs and headings (white space between structural elements) is not part
// of the document's content.
void readOpenDocumentNodes(const xmlNode* node, const TextAttributes& attributes,
                           const StyleTable& styles, OpenDocumentLists& lists,
                           StyledTextBuilder& builder, bool& lastWasSpace, bool inParagraph,
                           int depth) {
  if (depth > maximumDepth) return;
  bool firstCell = true;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (isElement(child, odfTable, "table-cell")) {
      if (!firstCell) builder.startNextCell(attributes);
      firstCell = false;
    }
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
      if (inParagraph && child->content != nullptr)
        appendCollapsed(reinterpret_cast<const char*>(child->content), attributes, builder,
                        lastWasSpace);
      continue;
    }
    if (child->type != XML_ELEMENT_NODE) continue;
    if (isElement(child, odfText, "p") || isElement(child, odfText, "h")) {
      const auto inner = styled(attributes, styles, attribute(child, odfText, "style-name"));
      lastWasSpace = false;
      if (const auto label = lists.paragraphLabel()) builder.append(*label, inner);
      readOpenDocumentNodes(child, inner, styles, lists, builder, lastWasSpace, true, depth + 1);
      builder.endParagraph();
    } else if (isElement(child, odfText, "list")) {
      const auto outer = lists.enter(child);
      readOpenDocumentNodes(child, attributes, styles, lists, builder, lastWasSpace, inParagraph,
                            depth + 1);
      lists.leave(outer);
    } else if (isElement(child, odfText, "list-item") || isElement(child, odfText, "list-header")) {
      lists.startItem(isElement(child, odfText, "list-header"));
      readOpenDocumentNodes(child, attributes, styles, lists, builder, lastWasSpace, inParagraph,
                            depth + 1);
    } else if (isElement(child, odfText, "span")) {
      const auto inner = styled(attributes, styles, attribute(child, odfText, "style-name"));
      readOpenDocumentNodes(child, inner, styles, lists, builder, lastWasSpace, inParagraph,
                            depth + 1);
    } else if (isElement(child, odfText, "s")) {
      std::size_t count = 1;
      if (const auto value = attribute(child, odfText, "c")) {
        const auto parsed = number(*value);
        count = parsed ? static_cast<std::size_t>(*parsed) : 1;
      }
      builder.append(std::string(count, ' '), attributes);
      lastWasSpace = false;
    } else if (isElement(child, odfText, "tab")) {
      builder.append("\t", attributes);
      lastWasSpace = false;
    } else if (isElement(child, odfText, "line-break")) {
      builder.append("\n", attributes);
      lastWasSpace = false;
    } else if (isElement(child, odfText, "note") || isElement(child, odfOffice, "annotation") ||
               isElement(child, odfText, "tracked-changes")) {
      // Notes, comments and recorded deletions are not part of the running text.
    } else {
      readOpenDocumentNodes(child, attributes, styles, lists, builder, lastWasSpace, inParagraph,
                            depth + 1);
    }
  }
}

} // namespace

std::optional<StyledText>
OfficeDocumentReader::readWordprocessingML(std::string_view documentXML,
                                           std::string_view numberingXML) {
  const auto document = DocumentContainer::parseXML(documentXML);
  if (!document) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || !isWord(root, "document")) return std::nullopt;
  // Lists are optional: a numbering part that is missing or unreadable gives no labels.
  const auto numberingDocument =
      numberingXML.empty() ? nullptr : DocumentContainer::parseXML(numberingXML);
  const xmlNode* numberingRoot =
      numberingDocument ? xmlDocGetRootElement(numberingDocument.get()) : nullptr;
  WordNumbering numbering(
      numberingRoot != nullptr && isWord(numberingRoot, "numbering") ? numberingRoot : nullptr);
  StyledTextBuilder builder;
  readWordContent(root, builder, numbering, 0);
  return builder.take();
}

std::optional<StyledText>
OfficeDocumentReader::readOpenDocumentContent(std::string_view contentXML) {
  const auto document = DocumentContainer::parseXML(contentXML);
  if (!document) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || !isElement(root, odfOffice, "document-content")) return std::nullopt;
  const StyleTable styles = automaticStyles(root);
  OpenDocumentLists lists(root);
  StyledTextBuilder builder;
  bool lastWasSpace = false;
  for (const xmlNode* body = root->children; body != nullptr; body = body->next)
    if (isElement(body, odfOffice, "body"))
      readOpenDocumentNodes(body, TextAttributes{}, styles, lists, builder, lastWasSpace, false, 0);
  return builder.take();
}

std::optional<StyledText> OfficeDocumentReader::read(const std::filesystem::path& file) {
  const auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  const bool openDocument = text::lowercasedASCII(file.extension().string()) == ".odt";
  const auto part =
      DocumentContainer::zipEntry(*bytes, openDocument ? "content.xml" : "word/document.xml", file);
  if (!part) return std::nullopt;
  std::optional<StyledText> result;
  if (openDocument) {
    result = readOpenDocumentContent(*part);
  } else {
    // Only a document that has lists has this part.
    const auto numbering = DocumentContainer::zipEntry(*bytes, "word/numbering.xml", file, false);
    result = readWordprocessingML(*part, numbering.value_or(""));
  }
  if (!result) DocumentBytes::refuse(file, "the document's XML could not be read");
  return result;
}

} // namespace halyard
