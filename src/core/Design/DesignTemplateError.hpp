#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// A template document that cannot be decoded. The description names the key at fault, as a path
// from the top of the document such as "canvas.stickers[2].asset.source.kind".
class DesignTemplateError : public Error {
public:
  enum class Code { invalidJSON = 1, missingKey, wrongType, invalidValue };

  DesignTemplateError(Code code, const std::string& description)
      : Error("Halyard.designTemplate", static_cast<int>(code), description) {}

  Code kind() const { return static_cast<Code>(code()); }
};

} // namespace halyard
