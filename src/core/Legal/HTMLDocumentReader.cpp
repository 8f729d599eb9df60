#include "core/Legal/HTMLDocumentReader.hpp"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/ListLabel.hpp"
#include "core/Legal/StyledTextBuilder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr int maximumDepth = 256;

struct HTMLDocumentFree {
  void operator()(xmlDoc* document) const { xmlFreeDoc(document); }
};

bool named(const xmlNode* node, const char* name) {
  return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

bool namedAny(const xmlNode* node, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (named(node, name)) return true;
  return false;
}

std::optional<std::string> attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  if (value == nullptr) return std::nullopt;
  std::string result(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return result;
}

// HTML's white space.
constexpr std::string_view htmlSpace = " \t\n\r\f";

bool isSpace(char c) {
  return htmlSpace.find(c) != std::string_view::npos;
}

std::string_view trimmedView(std::string_view text) {
  return text::trimmedView(text, htmlSpace);
}

std::optional<int> integer(std::string_view text) {
  text = trimmedView(text);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::uint8_t component(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// A CSS or HTML colour: #rgb, #rrggbb, rgb(r, g, b) or one of the basic colour names.
std::optional<TextColor> parseColor(std::string_view text) {
  const std::string value = text::lowercasedASCII(trimmedView(text));
  if (!value.empty() && value.front() == '#') {
    unsigned bits = 0;
    const char* first = value.data() + 1;
    const char* last = value.data() + value.size();
    const auto [end, error] = std::from_chars(first, last, bits, 16);
    if (error != std::errc() || end != last) return std::nullopt;
    if (value.size() == 7)
      return TextColor{component(static_cast<int>(bits >> 16)),
                       component(static_cast<int>((bits >> 8) & 0xFF)),
                       component(static_cast<int>(bits & 0xFF))};
    if (value.size() == 4)
      return TextColor{component(static_cast<int>(((bits >> 8) & 0xF) * 17)),
                       component(static_cast<int>(((bits >> 4) & 0xF) * 17)),
                       component(static_cast<int>((bits & 0xF) * 17))};
    return std::nullopt;
  }
  if (value.rfind("rgb(", 0) == 0 && value.back() == ')') {
    std::string_view inner(value);
    inner = inner.substr(4, inner.size() - 5);
    std::array<int, 3> parts{};
    for (std::size_t index = 0; index < 3; ++index) {
      const auto comma = inner.find(',');
      if ((comma == std::string_view::npos) != (index == 2)) return std::nullopt;
      const auto part = integer(inner.substr(0, comma));
      if (!part) return std::nullopt;
      parts[index] = *part;
      inner = comma == std::string_view::npos ? std::string_view() : inner.substr(comma + 1);
    }
    return TextColor{component(parts[0]), component(parts[1]), component(parts[2])};
  }
  struct Named {
    const char* name;
    TextColor color;
  };
  static constexpr Named names[] = {
      {"black", {0, 0, 0}},      {"white", {255, 255, 255}},  {"red", {255, 0, 0}},
      {"green", {0, 128, 0}},    {"blue", {0, 0, 255}},       {"gray", {128, 128, 128}},
      {"grey", {128, 128, 128}}, {"silver", {192, 192, 192}}, {"maroon", {128, 0, 0}},
      {"navy", {0, 0, 128}},     {"purple", {128, 0, 128}},   {"teal", {0, 128, 128}},
      {"olive", {128, 128, 0}},  {"orange", {255, 165, 0}},   {"yellow", {255, 255, 0}},
      {"lime", {0, 255, 0}},     {"aqua", {0, 255, 255}},     {"fuchsia", {255, 0, 255}}};
  for (const auto& entry : names)
    if (value == entry.name) return entry.color;
  return std::nullopt;
}

// The declarations of a style attribute that this reader keeps: colour, weight and slant.
void applyStyleAttribute(std::string_view style, TextAttributes& attributes) {
  while (!style.empty()) {
    const auto end = style.find(';');
    const std::string_view declaration = style.substr(0, end);
    style = end == std::string_view::npos ? std::string_view() : style.substr(end + 1);
    const auto colon = declaration.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string property = text::lowercasedASCII(trimmedView(declaration.substr(0, colon)));
    const std::string value = text::lowercasedASCII(trimmedView(declaration.substr(colon + 1)));
    if (property == "color") {
      if (const auto color = parseColor(value)) attributes.color = color;
    } else if (property == "font-weight") {
      const auto weight = integer(value);
      if (value == "bold" || value == "bolder" || (weight && *weight >= 600))
        attributes.bold = true;
      else if (value == "normal" || value == "lighter" || weight)
        attributes.bold = false;
    } else if (property == "font-style") {
      attributes.italic = value == "italic" || value == "oblique";
    } else if (property == "text-decoration" || property == "text-decoration-line") {
      attributes.underline = value.find("underline") != std::string::npos;
    }
  }
}

// The rules of the document's <style> elements that a reader of text needs: simple selectors
// (an element name, a class, or both, as "h1", ".note", "p.note") with their declarations.
// Rules with other selectors and at-rules are left out.
class StyleSheet {
public:
  // The most rules kept from one document.
  static constexpr std::size_t maximumRules = 1024;

  void add(std::string_view css) {
    while (!css.empty() && rules_.size() < maximumRules) {
      const auto open = css.find_first_of("{;@");
      if (open == std::string_view::npos) return;
      if (css[open] == ';') {
        css.remove_prefix(open + 1);
        continue;
      }
      if (css[open] == '@') {
        // An at-rule ends with ";" or with its block, whose nested braces are skipped.
        css.remove_prefix(open);
        const auto end = css.find_first_of(";{");
        if (end == std::string_view::npos) return;
        if (css[end] == ';') {
          css.remove_prefix(end + 1);
          continue;
        }
        std::size_t depth = 0, at = end;
        for (; at < css.size(); ++at) {
          if (css[at] == '{') ++depth;
          if (css[at] == '}' && --depth == 0) break;
        }
        css.remove_prefix(std::min(css.size(), at + 1));
        continue;
      }
      const auto close = css.find('}', open);
      const auto selectors = css.substr(0, open);
      const auto declarations = css.substr(
          open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
      css = close == std::string_view::npos ? std::string_view() : css.substr(close + 1);
      for (std::string_view list = selectors; !list.empty();) {
        const auto comma = list.find(',');
        const auto selector = trimmedView(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
        addRule(selector, declarations);
      }
    }
  }

  // Applies the rules that match an element, element rules before class rules, each in the
  // order of the document.
  void apply(const xmlNode* node, TextAttributes& attributes) const {
    if (rules_.empty()) return;
    const auto classes = attribute(node, "class");
    const auto hasClass = [&](const std::string& name) {
      if (!classes) return false;
      std::string_view list(*classes);
      while (!list.empty()) {
        const auto start = list.find_first_not_of(" \t\n\r\f");
        if (start == std::string_view::npos) return false;
        list.remove_prefix(start);
        const auto end = std::min(list.find_first_of(" \t\n\r\f"), list.size());
        if (list.substr(0, end) == name) return true;
        list.remove_prefix(end);
      }
      return false;
    };
    const std::string element = text::lowercasedASCII(reinterpret_cast<const char*>(node->name));
    for (const bool classRules : {false, true})
      for (const auto& rule : rules_)
        if (rule.className.empty() != classRules &&
            (rule.element.empty() || rule.element == element) &&
            (rule.className.empty() || hasClass(rule.className)))
          applyStyleAttribute(rule.declarations, attributes);
  }

private:
  struct Rule {
    std::string element;
    std::string className;
    std::string declarations;
  };
  std::vector<Rule> rules_;

  void addRule(std::string_view selector, std::string_view declarations) {
    if (selector.empty() || rules_.size() >= maximumRules) return;
    const auto dot = selector.find('.');
    Rule rule;
    rule.element = text::lowercasedASCII(selector.substr(0, dot));
    if (dot != std::string_view::npos) rule.className = std::string(selector.substr(dot + 1));
    const auto simple = [](std::string_view name) {
      return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
      });
    };
    if (!simple(rule.element) || !simple(rule.className) ||
        (dot != std::string_view::npos && rule.className.empty()))
      return;
    rule.declarations = std::string(declarations);
    rules_.push_back(std::move(rule));
  }
};

class HTMLTextCollector {
public:
  explicit HTMLTextCollector(const StyleSheet& styles) : styles_(styles) {}

  void collect(const xmlNode* node, const TextAttributes& attributes, int depth) {
    if (depth > maximumDepth) return;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
        if (child->content != nullptr)
          appendText(reinterpret_cast<const char*>(child->content), attributes);
      } else if (child->type == XML_ELEMENT_NODE) {
        element(child, attributes, depth);
      }
    }
  }

  std::optional<StyledText> take() { return builder_.take(); }

private:
  const StyleSheet& styles_;
  StyledTextBuilder builder_;
  bool lastWasSpace_ = false;
  int preformatted_ = 0;
  // The open lists: a number for each ordered one (with its format), none for the others.
  struct List {
    std::optional<std::int32_t> number;
    char type = '1';
  };
  std::vector<List> lists_;
  // A list item's label waits for the item's first text, so that a paragraph inside the item
  // starts no line of its own.
  std::optional<std::pair<std::string, TextAttributes>> pendingLabel_;

  void writeLabel() {
    if (!pendingLabel_) return;
    builder_.append(pendingLabel_->first, pendingLabel_->second);
    pendingLabel_.reset();
  }

  void appendText(std::string_view text, const TextAttributes& attributes) {
    if (text.find_first_not_of(" \t\n\r\f") != std::string_view::npos) writeLabel();
    if (preformatted_ > 0) {
      builder_.append(text, attributes);
      lastWasSpace_ = !text.empty() && isSpace(text.back());
      return;
    }
    std::string collapsed;
    for (const char c : text) {
      if (isSpace(c)) {
        if (!lastWasSpace_ && !(collapsed.empty() && builder_.atParagraphStart())) collapsed += ' ';
        lastWasSpace_ = true;
      } else {
        collapsed += c;
        lastWasSpace_ = false;
      }
    }
    builder_.append(collapsed, attributes);
  }

  // "• " in an unordered list, the item's number and ". " in an ordered one.
  std::string label(const xmlNode* item) {
    if (lists_.empty() || !lists_.back().number) return "\u2022 ";
    auto& list = lists_.back();
    const auto value = integer(attribute(item, "value").value_or(""));
    list.number = value ? *value : *list.number + 1;
    const auto format = list.type == 'a'   ? ListLabel::Format::lowerLetter
                        : list.type == 'A' ? ListLabel::Format::upperLetter
                        : list.type == 'i' ? ListLabel::Format::lowerRoman
                        : list.type == 'I' ? ListLabel::Format::upperRoman
                                           : ListLabel::Format::decimal;
    return ListLabel::number(*list.number, format) + ". ";
  }

  void startBlock() {
    builder_.endBlock();
    lastWasSpace_ = true;
  }

  void element(const xmlNode* node, TextAttributes attributes, int depth) {
    // Deleted text (<del>, as tracked changes are saved) is not part of what a reader agrees to.
    if (namedAny(node, {"script", "style", "head", "title", "template", "del"})) return;
    if (named(node, "br")) {
      builder_.append("\n", attributes);
      lastWasSpace_ = true;
      return;
    }

    if (namedAny(node, {"b", "strong"})) attributes.bold = true;
    if (namedAny(node, {"i", "em", "cite", "var", "dfn"})) attributes.italic = true;
    // Links are underlined as browsers show them.
    if (namedAny(node, {"u", "ins"}) || (named(node, "a") && attribute(node, "href")))
      attributes.underline = true;
    static constexpr const char* headings[] = {"h1", "h2", "h3", "h4", "h5", "h6"};
    static constexpr double headingSizes[] = {24, 18, 14, 12, 10, 8};
    for (std::size_t level = 0; level < 6; ++level) {
      if (!named(node, headings[level])) continue;
      attributes.bold = true;
      attributes.fontSize = headingSizes[level];
    }
    if (named(node, "font")) {
      if (const auto color = attribute(node, "color"))
        if (const auto parsed = parseColor(*color)) attributes.color = parsed;
      if (const auto face = attribute(node, "face")) {
        const auto family = trimmedView(std::string_view(*face).substr(0, face->find(',')));
        if (!family.empty()) attributes.fontFamily = std::string(family);
      }
    }
    styles_.apply(node, attributes);
    if (const auto style = attribute(node, "style")) applyStyleAttribute(*style, attributes);

    const bool block = namedAny(
        node, {"p",          "div",  "h1",       "h2",      "h3",      "h4",         "h5",
               "h6",         "ul",   "ol",       "li",      "dl",      "dt",         "dd",
               "blockquote", "pre",  "table",    "tr",      "section", "article",    "header",
               "footer",     "nav",  "aside",    "address", "figure",  "figcaption", "hr",
               "main",       "form", "fieldset", "center",  "caption"});
    const bool preformatted = namedAny(node, {"pre", "textarea", "listing", "xmp"});
    if (block) startBlock();
    if (namedAny(node, {"td", "th"}) && !builder_.atParagraphStart()) {
      builder_.append("\t", attributes);
      lastWasSpace_ = true;
    }
    const bool list = namedAny(node, {"ul", "ol", "menu", "dir"});
    if (list) {
      List opened;
      if (named(node, "ol")) {
        opened.number = integer(attribute(node, "start").value_or("1")).value_or(1) - 1;
        const auto type = attribute(node, "type").value_or("1");
        if (type == "a" || type == "A" || type == "i" || type == "I") opened.type = type[0];
      }
      lists_.push_back(opened);
    }
    if (named(node, "li")) pendingLabel_ = {label(node), attributes};
    if (preformatted) ++preformatted_;
    collect(node, attributes, depth + 1);
    if (preformatted) --preformatted_;
    if (named(node, "li")) writeLabel();
    if (list) lists_.pop_back();
    if (block) startBlock();
  }
};

// The text of every <style> element (of type text/css or none), wherever it is.
void collectStyleSheets(const xmlNode* node, StyleSheet& styles, int depth) {
  if (depth > maximumDepth) return;
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (named(child, "style")) {
      const auto type = attribute(child, "type");
      if (type && text::lowercasedASCII(*type) != "text/css") continue;
      std::string css;
      for (const xmlNode* part = child->children; part != nullptr; part = part->next)
        if (part->content != nullptr) css += reinterpret_cast<const char*>(part->content);
      // Comments may hold braces.
      for (auto start = css.find("/*"); start != std::string::npos; start = css.find("/*", start))
        css.erase(start, css.find("*/", start + 2) == std::string::npos
                             ? std::string::npos
                             : css.find("*/", start + 2) + 2 - start);
      styles.add(css);
    } else {
      collectStyleSheets(child, styles, depth + 1);
    }
  }
}

xmlDoc* parse(std::string_view bytes, const char* encoding) {
  return htmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding,
                        HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                            HTML_PARSE_NOWARNING);
}

} // namespace

std::optional<StyledText> HTMLDocumentReader::readHTML(std::string_view bytes,
                                                       const std::optional<std::string>& encoding) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
    return std::nullopt;
  const char* declared = encoding && !encoding->empty() ? encoding->c_str()
                         : text::isValidUTF8(bytes)     ? "UTF-8"
                                                        : nullptr;
  std::unique_ptr<xmlDoc, HTMLDocumentFree> document(parse(bytes, declared));
  // A character-set name the library does not know: let the document decide.
  if (!document && declared != nullptr) document.reset(parse(bytes, nullptr));
  if (!document) return std::nullopt;
  if (xmlDocGetRootElement(document.get()) == nullptr) return std::nullopt;
  // The document's top-level nodes, seen through a stand-in parent.
  xmlNode top{};
  top.children = document->children;
  StyleSheet styles;
  collectStyleSheets(&top, styles, 0);
  HTMLTextCollector collector(styles);
  collector.collect(&top, TextAttributes{}, 0);
  return collector.take();
}

std::optional<StyledText> HTMLDocumentReader::read(const std::filesystem::path& file) {
  const auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  auto result = readHTML(*bytes);
  if (!result) DocumentBytes::refuse(file, "the HTML could not be parsed");
  return result;
}

} // namespace halyard
