#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Signing/CodeDirectoryFlags.hpp"

namespace halyard {

// What `codesign -dv` says about a signature: "Identifier=", the "Authority=" chain, "Timestamp=",
// "TeamIdentifier=", the CodeDirectory flags and "Signature=adhoc". The lines are on standard
// error, or on standard output from a runner that merges the two; both are read. A value that is
// empty counts as absent.
struct CodeSignDetails {
  ToolProcessResult run; // as the tool's runner gave it
  std::optional<std::string> identifier;
  // Every "Authority=" value in order: the signing certificate, then its issuers. An ad hoc
  // signature has none.
  std::vector<std::string> authorities;
  std::optional<std::string> timestamp;
  // None for "not set", what an ad hoc signature reports.
  std::optional<std::string> teamIdentifier;
  std::optional<CodeDirectoryFlags> flags;
  bool adHoc = false;     // "Signature=adhoc" or the adhoc flag
  bool notSigned = false; // "code object is not signed at all", in any case

  // The signing certificate's name: the first authority.
  std::optional<std::string> signer() const;
  bool developerIDApplication() const;
  bool hardenedRuntime() const { return flags && flags->hardenedRuntime(); }

  static CodeSignDetails from(ToolProcessResult run);
};

} // namespace halyard
