#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Signing/SigningIdentityKind.hpp"

namespace halyard {

// Lists the valid Developer ID identities the user's keychains hold. Stateless.
struct SigningIdentityDetector {
  // `security` is a local query; a run that takes longer than this is treated as hung.
  static constexpr double timeLimit = 120;

  // The full names of the valid identities of `kind`, in the order `security` lists them,
  // without duplicates. Never throws: any failure gives an empty list.
  static std::vector<std::string> identities(SigningIdentityKind kind);

  // The names in `find-identity` output: the text between the first and the last double quote
  // of each line, kept when it begins with the kind's prefix, first occurrence only.
  static std::vector<std::string> parseIdentities(std::string_view output,
                                                  SigningIdentityKind kind);
};

} // namespace halyard
