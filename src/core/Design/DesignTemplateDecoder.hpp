#pragma once

#include <string_view>

#include "core/Design/DesignTemplate.hpp"

namespace halyard {

// Decodes a template document strictly: a missing required key, a value of the wrong type or an
// enumeration string outside the known ones fails the whole document with a DesignTemplateError
// that names the key. Keys that are not known are ignored; an optional key whose value is null
// counts as missing.
struct DesignTemplateDecoder {
  // Documents nested deeper than this are refused before decoding (no valid one comes close).
  static constexpr int maximumDepth = 64;

  static DesignTemplate decode(std::string_view json);
};

} // namespace halyard
