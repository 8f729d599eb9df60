#pragma once

#include "CodeSignature.hpp"

#include <optional>
#include <string>
#include <vector>

namespace macsim {

// The part of the code requirement language that release checks use:
//   [=] clause [and clause ...]
// with the clauses `anchor apple generic`, `anchor apple`, `identifier "X"`,
// `certificate leaf[subject.OU] = "X"`, `certificate leaf[field.1.2.840.113635.100.6.1.13]`
// (Developer ID Application), `certificate 1[field.1.2.840.113635.100.6.2.6]` (Developer ID CA),
// each optionally followed by /* exists */.
class Requirement {
public:
  // std::nullopt when the text uses anything else; `error` then says where.
  static std::optional<Requirement> parse(const std::string& text, std::string& error);
  bool isSatisfiedBy(const CodeSignature& signature) const;

private:
  struct Clause {
    enum class Kind {
      anchorAppleGeneric,
      anchorApple,
      identifier,
      teamIdentifier,
      developerIDLeaf,
      developerIDIntermediate
    };
    Kind kind;
    std::string value;
  };
  std::vector<Clause> clauses_;
};

} // namespace macsim
