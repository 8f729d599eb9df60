#include "core/Legal/OfficeDocumentReader.hpp"

#include <libxml/tree.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/Legal/DocumentBytes.hpp"
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

void readWordContent(const xmlNode* node, StyledTextBuilder& builder, int depth) {
  if (depth > maximumDepth) return;
  bool firstCell = true;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (isWord(child, "tc")) {
      if (!firstCell) builder.startNextCell(TextAttributes{});
      firstCell = false;
      readWordContent(child, builder, depth + 1);
    } else if (isWord(child, "r")) {
      readWordRun(child, builder);
    } else if (isWord(child, "p")) {
      readWordContent(child, builder, depth + 1);
      builder.endParagraph();
    } else if (isWord(child, "pPr") || isWord(child, "sectPr") || isWord(child, "del") ||
               isWord(child, "moveFrom") || isElement(child, markupCompatibility, "Fallback")) {
      // Properties, deleted or moved-away text, and the fallback copy of content given twice.
    } else {
      readWordContent(child, builder, depth + 1);
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
    if (properties.color) attributes.color = properties.color;
  }
  return attributes;
}

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
                           const StyleTable& styles, StyledTextBuilder& builder, bool& lastWasSpace,
                           bool inParagraph, int depth) {
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
      readOpenDocumentNodes(child, inner, styles, builder, lastWasSpace, true, depth + 1);
      builder.endParagraph();
    } else if (isElement(child, odfText, "span")) {
      const auto inner = styled(attributes, styles, attribute(child, odfText, "style-name"));
      readOpenDocumentNodes(child, inner, styles, builder, lastWasSpace, inParagraph, depth + 1);
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
      readOpenDocumentNodes(child, attributes, styles, builder, lastWasSpace, inParagraph,
                            depth + 1);
    }
  }
}

} // namespace

std::optional<StyledText> OfficeDocumentReader::readWordprocessingML(std::string_view documentXML) {
  const auto document = DocumentBytes::parseXML(documentXML);
  if (!document) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || !isWord(root, "document")) return std::nullopt;
  StyledTextBuilder builder;
  readWordContent(root, builder, 0);
  return builder.take();
}

std::optional<StyledText>
OfficeDocumentReader::readOpenDocumentContent(std::string_view contentXML) {
  const auto document = DocumentBytes::parseXML(contentXML);
  if (!document) return std::nullopt;
  const xmlNode* root = xmlDocGetRootElement(document.get());
  if (root == nullptr || !isElement(root, odfOffice, "document-content")) return std::nullopt;
  const StyleTable styles = automaticStyles(root);
  StyledTextBuilder builder;
  bool lastWasSpace = false;
  for (const xmlNode* body = root->children; body != nullptr; body = body->next)
    if (isElement(body, odfOffice, "body"))
      readOpenDocumentNodes(body, TextAttributes{}, styles, builder, lastWasSpace, false, 0);
  return builder.take();
}

std::optional<StyledText> OfficeDocumentReader::read(const std::filesystem::path& file) {
  const auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  const bool openDocument = text::lowercasedASCII(file.extension().string()) == ".odt";
  const auto part =
      DocumentBytes::zipEntry(*bytes, openDocument ? "content.xml" : "word/document.xml", file);
  if (!part) return std::nullopt;
  auto result = openDocument ? readOpenDocumentContent(*part) : readWordprocessingML(*part);
  if (!result) DocumentBytes::refuse(file, "the document's XML could not be read");
  return result;
}

} // namespace halyard
