#include "core/Design/DesignTemplateDecoder.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "core/Design/DesignTemplateError.hpp"
#include "core/Support/Base64.hpp"

namespace halyard {

namespace {

using json = nlohmann::json;
using Code = DesignTemplateError::Code;

// A value of the document together with its key path, for messages that name the key.
class Node {
public:
  Node(const json& value, std::string path) : value_(value), path_(std::move(path)) {}

  const json& value() const { return value_; }
  const std::string& path() const { return path_; }

  [[noreturn]] void wrongType(std::string_view expected) const {
    throw DesignTemplateError(Code::wrongType, "Designer template key \"" + displayPath() +
                                                   "\" has the wrong type: expected " +
                                                   std::string(expected) + ".");
  }

  [[noreturn]] void invalidValue(std::string_view detail) const {
    throw DesignTemplateError(Code::invalidValue,
                              "Designer template key \"" + displayPath() +
                                  "\" has an invalid value: " + std::string(detail) + ".");
  }

  void expectObject() const {
    if (!value_.is_object()) wrongType("an object");
  }

  // The member `key`, which must be present and not null.
  Node required(const std::string& key) const {
    expectObject();
    const auto found = value_.find(key);
    if (found == value_.end() || found->is_null()) {
      throw DesignTemplateError(Code::missingKey,
                                "Designer template key \"" + childPath(key) + "\" is missing.");
    }
    return Node(*found, childPath(key));
  }

  // The member `key`, or nothing when it is absent or null.
  std::optional<Node> optional(const std::string& key) const {
    expectObject();
    const auto found = value_.find(key);
    if (found == value_.end() || found->is_null()) return std::nullopt;
    return Node(*found, childPath(key));
  }

  Node element(size_t index) const {
    return Node(value_[index], path_ + "[" + std::to_string(index) + "]");
  }

  size_t arraySize() const {
    if (!value_.is_array()) wrongType("an array");
    return value_.size();
  }

  double number() const {
    if (!value_.is_number()) wrongType("a number");
    return value_.get<double>();
  }

  int64_t integer() const {
    if (value_.is_number_integer()) {
      if (value_.is_number_unsigned() &&
          value_.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
        invalidValue("the number does not fit a 64-bit integer");
      }
      return value_.get<int64_t>();
    }
    if (value_.is_number_float()) {
      const double real = value_.get<double>();
      if (std::trunc(real) != real || real < -9.2233720368547758e18 ||
          real >= 9.2233720368547758e18) {
        invalidValue("expected a whole number that fits a 64-bit integer");
      }
      return static_cast<int64_t>(real);
    }
    wrongType("an integer");
  }

  bool boolean() const {
    if (!value_.is_boolean()) wrongType("a boolean");
    return value_.get<bool>();
  }

  std::string string() const {
    if (!value_.is_string()) wrongType("a string");
    return value_.get<std::string>();
  }

private:
  std::string displayPath() const { return path_.empty() ? "(document)" : path_; }
  std::string childPath(const std::string& key) const {
    return path_.empty() ? key : path_ + "." + key;
  }

  const json& value_;
  std::string path_;
};

template <typename T, typename Decode>
std::vector<T> decodeArray(const Node& node, Decode decodeElement) {
  std::vector<T> result;
  const size_t count = node.arraySize();
  result.reserve(count);
  for (size_t i = 0; i < count; ++i)
    result.push_back(decodeElement(node.element(i)));
  return result;
}

template <typename T, typename Decode>
T optionalOr(const Node& parent, const std::string& key, T fallback, Decode decode) {
  if (auto node = parent.optional(key)) return decode(*node);
  return fallback;
}

double decodeNumber(const Node& node) {
  return node.number();
}
bool decodeBoolean(const Node& node) {
  return node.boolean();
}
std::string decodeString(const Node& node) {
  return node.string();
}

CodableColor decodeColor(const Node& node) {
  return {node.required("r").number(), node.required("g").number(), node.required("b").number(),
          node.required("a").number()};
}

CodablePoint decodeCodablePoint(const Node& node) {
  return {node.required("x").number(), node.required("y").number()};
}

// A platform point or size: an array of (at least) two numbers.
std::pair<double, double> decodePair(const Node& node) {
  if (!node.value().is_array() || node.value().size() < 2) {
    node.wrongType("an array of two numbers");
  }
  return {node.element(0).number(), node.element(1).number()};
}

DesignPoint decodeDesignPoint(const Node& node) {
  const auto [x, y] = decodePair(node);
  return {x, y};
}

DesignSize decodeDesignSize(const Node& node) {
  const auto [width, height] = decodePair(node);
  return {width, height};
}

FileURL decodeURL(const Node& node, int depth = 0) {
  if (depth > 8) node.invalidValue("URL bases are nested too deeply");
  const std::string relative = node.required("relative").string();
  std::optional<FileURL> base;
  if (auto baseNode = node.optional("base")) base = decodeURL(*baseNode, depth + 1);
  auto url = FileURL::make(relative, base);
  if (!url) node.invalidValue("not a valid URL");
  return *url;
}

GradientStop decodeStop(const Node& node) {
  return {decodeColor(node.required("color")), node.required("location").number(),
          decodeCodablePoint(node.required("point"))};
}

GradientSpec decodeGradient(const Node& node) {
  GradientSpec gradient;
  const Node kindNode = node.required("kind");
  const auto kind = gradientKind(kindNode.string());
  if (!kind) kindNode.invalidValue("unknown gradient kind \"" + kindNode.string() + "\"");
  gradient.kind = *kind;
  gradient.stops = decodeArray<GradientStop>(node.required("stops"), decodeStop);
  gradient.angleDegrees = node.required("angleDegrees").number();
  gradient.radialCenter = decodeDesignPoint(node.required("radialCenter"));
  gradient.radialRadius = node.required("radialRadius").number();
  return gradient;
}

DesignerTextSpec decodeTextSpec(const Node& node) {
  node.expectObject();
  DesignerTextSpec spec;
  spec.text = optionalOr(node, "text", spec.text, decodeString);
  spec.fontFamily = optionalOr(node, "fontFamily", spec.fontFamily, decodeString);
  spec.fontSize = optionalOr(node, "fontSize", spec.fontSize, decodeNumber);
  spec.isBold = optionalOr(node, "isBold", spec.isBold, decodeBoolean);
  spec.isItalic = optionalOr(node, "isItalic", spec.isItalic, decodeBoolean);
  spec.isUnderline = optionalOr(node, "isUnderline", spec.isUnderline, decodeBoolean);
  spec.isStrikethrough = optionalOr(node, "isStrikethrough", spec.isStrikethrough, decodeBoolean);
  if (auto alignmentNode = node.optional("alignment")) {
    const auto alignment = designerTextAlignment(alignmentNode->string());
    if (!alignment)
      alignmentNode->invalidValue("unknown alignment \"" + alignmentNode->string() + "\"");
    spec.alignment = *alignment;
  }
  spec.color = optionalOr(node, "color", spec.color, decodeColor);
  return spec;
}

StickerSource decodeSource(const Node& node) {
  const Node kindNode = node.required("kind");
  const std::string kind = kindNode.string();
  const Node value = node.required("value");
  if (kind == "sfSymbol") return StickerSource::sfSymbol(value.string());
  if (kind == "file") return StickerSource::file(decodeURL(value));
  if (kind == "text") return StickerSource::text(decodeTextSpec(value));
  kindNode.invalidValue("unknown sticker source kind \"" + kind + "\"");
}

StickerAsset decodeAsset(const Node& node) {
  return {node.required("id").string(), node.required("displayName").string(),
          decodeSource(node.required("source"))};
}

// A UUID in its canonical form (8-4-4-4-12 hexadecimal digits, either case), kept upper-case.
std::string decodeUUID(const Node& node) {
  std::string text = node.string();
  bool valid = text.size() == 36;
  for (size_t i = 0; valid && i < text.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    valid = dash ? text[i] == '-' : std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
  }
  if (!valid) node.invalidValue("not a UUID");
  return text;
}

StickerItem decodeSticker(const Node& node) {
  StickerItem sticker;
  sticker.id = decodeUUID(node.required("id"));
  sticker.asset = decodeAsset(node.required("asset"));
  sticker.position = decodeDesignPoint(node.required("position"));
  sticker.scale = node.required("scale").number();
  sticker.rotationRadians = node.required("rotationRadians").number();
  sticker.opacity = optionalOr(node, "opacity", sticker.opacity, decodeNumber);
  sticker.mirroredHorizontally =
      optionalOr(node, "mirroredHorizontally", sticker.mirroredHorizontally, decodeBoolean);
  sticker.outlineSyncSource =
      optionalOr(node, "outlineSyncSource", sticker.outlineSyncSource, decodeBoolean);
  sticker.outlineEnabled =
      optionalOr(node, "outlineEnabled", sticker.outlineEnabled, decodeBoolean);
  sticker.outlineWidth = optionalOr(node, "outlineWidth", sticker.outlineWidth, decodeNumber);
  sticker.outlineColor = optionalOr(node, "outlineColor", sticker.outlineColor, decodeColor);
  if (auto zIndex = node.optional("zIndex")) sticker.zIndex = zIndex->integer();
  if (auto outline = node.optional("outline")) {
    sticker.outline = OutlineSpec{decodeColor(outline->required("color")),
                                  outline->required("thickness").number()};
  }
  return sticker;
}

DesignSpec decodeCanvas(const Node& node) {
  DesignSpec spec;
  spec.size = decodeDesignSize(node.required("size"));
  spec.gradient = decodeGradient(node.required("gradient"));
  spec.stickers = decodeArray<StickerItem>(node.required("stickers"), decodeSticker);
  spec.exportLabelPillEnabled =
      optionalOr(node, "exportLabelPillEnabled", spec.exportLabelPillEnabled, decodeBoolean);
  spec.exportLabelPillColor =
      optionalOr(node, "exportLabelPillColor", spec.exportLabelPillColor, decodeColor);
  spec.exportLabelTextColor =
      optionalOr(node, "exportLabelTextColor", spec.exportLabelTextColor, decodeColor);
  return spec;
}

EmbeddedDesignerMedia decodeMedia(const Node& node) {
  EmbeddedDesignerMedia media;
  media.originalFilename = node.required("originalFilename").string();
  media.fileExtension = node.required("fileExtension").string();
  const Node data = node.required("data");
  auto bytes = Base64::decoded(data.string());
  if (!bytes) data.invalidValue("not Base64");
  media.data = std::move(*bytes);
  return media;
}

FileURL decodeURLElement(const Node& node) {
  return decodeURL(node);
}

} // namespace

DesignTemplate DesignTemplateDecoder::decode(std::string_view text) {
  json document;
  try {
    // The parser itself is iterative; the depth limit keeps hostile documents from building
    // huge nested trees before they fail.
    json::parser_callback_t limitDepth = [](int depth, json::parse_event_t event, json&) {
      if (depth > maximumDepth && (event == json::parse_event_t::object_start ||
                                   event == json::parse_event_t::array_start)) {
        throw DesignTemplateError(Code::invalidJSON,
                                  "Designer template is not valid: it is nested too deeply.");
      }
      return true;
    };
    document = json::parse(text.begin(), text.end(), limitDepth);
  } catch (const json::exception& error) {
    // Drop the library's "[json.exception.…] " tag; the rest says where and what.
    std::string detail = error.what();
    if (const size_t tag = detail.find("] ");
        detail.rfind("[json.exception", 0) == 0 && tag != std::string::npos) {
      detail.erase(0, tag + 2);
    }
    throw DesignTemplateError(Code::invalidJSON, "Designer template is not valid JSON: " + detail);
  }

  const Node root(document, "");
  DesignTemplate result;
  result.canvas = decodeCanvas(root.required("canvas"));
  if (auto media = root.optional("importedMedia")) {
    result.importedMedia = decodeArray<FileURL>(*media, decodeURLElement);
  }
  if (auto media = root.optional("embeddedMedia")) {
    result.embeddedMedia = decodeArray<EmbeddedDesignerMedia>(*media, decodeMedia);
  }
  result.showInstallerOverlay =
      optionalOr(root, "showInstallerOverlay", result.showInstallerOverlay, decodeBoolean);
  result.installerPreviewReversed =
      optionalOr(root, "installerPreviewReversed", result.installerPreviewReversed, decodeBoolean);
  return result;
}

} // namespace halyard
