#pragma once

#include <string>
#include <variant>

#include "core/Design/DesignerTextSpec.hpp"
#include "core/Support/FileURL.hpp"

namespace halyard {

// Where a sticker's picture comes from: a symbol of the catalogue by name, a picture file, or
// a text. Coded as {"kind": "sfSymbol" | "file" | "text", "value": …}.
struct StickerSource {
  struct Symbol {
    std::string name;
    friend bool operator==(const Symbol&, const Symbol&) = default;
  };
  std::variant<Symbol, FileURL, DesignerTextSpec> value;

  static StickerSource sfSymbol(std::string name) { return {Symbol{std::move(name)}}; }
  static StickerSource file(FileURL url) { return {std::move(url)}; }
  static StickerSource text(DesignerTextSpec spec) { return {std::move(spec)}; }

  const Symbol* symbol() const { return std::get_if<Symbol>(&value); }
  const FileURL* fileURL() const { return std::get_if<FileURL>(&value); }
  const DesignerTextSpec* textSpec() const { return std::get_if<DesignerTextSpec>(&value); }

  friend bool operator==(const StickerSource&, const StickerSource&) = default;
};

struct StickerAsset {
  std::string id;
  std::string displayName;
  StickerSource source;

  friend bool operator==(const StickerAsset&, const StickerAsset&) = default;
};

} // namespace halyard
