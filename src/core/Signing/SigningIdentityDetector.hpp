#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Signing/SigningIdentityKind.hpp"

namespace halyard {

// Lists the valid Developer ID identities the user's keychains hold. Stateless.
struct SigningIdentityDetector {
  // `security` is a local query; a run that takes longer than this is treated as hung.
  static constexpr double timeLimit = 120;

  // What `security find-identity` gave: the identities, or why there are none to be had.
  struct Listing {
    enum class Outcome { listed, timedOut, notStarted };
    Outcome outcome = Outcome::listed;
    std::vector<std::string> identities; // listed: the valid identities (possibly none)
    std::string reason;                  // notStarted: the system's explanation

    // The identities when `security` answered; otherwise throws SigningIdentityListingError,
    // since a tool that said nothing is no sign of an empty keychain.
    const std::vector<std::string>& installed() const;
  };

  // The full names of the valid identities of `kind`, in the order `security` lists them,
  // without duplicates; a tool that hangs or cannot start is told apart from an empty keychain.
  // Never throws.
  static Listing list(SigningIdentityKind kind);

  // Whether an installed identity answers to the configured name: the configured text occurs in
  // the installed name, compared with Unicode case folding ("jörg" finds "JÖRG MÜLLER").
  // The one rule for every command that checks an identity.
  static bool matches(std::string_view installedName, std::string_view configured);

  // The first of `installed` that `matches` the configured name.
  static std::optional<std::string> firstMatch(const std::vector<std::string>& installed,
                                               std::string_view configured);

  // The names in `find-identity` output: the text between the first and the last double quote
  // of each line, kept when it begins with the kind's prefix, first occurrence only.
  static std::vector<std::string> parseIdentities(std::string_view output,
                                                  SigningIdentityKind kind);
};

} // namespace halyard
