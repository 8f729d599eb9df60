#pragma once

#include <string>

#include "core/Process/ToolProcessResult.hpp"

namespace halyard {

// Whether the default keychain can be read without a password prompt, as
// `security show-keychain-info` answers. codesign waits on such a prompt, which never comes on a
// machine without a screen.
struct KeychainStatus {
  enum class Kind {
    readable,
    notReadable, // locked, or another failure of the tool
    notStarted,  // the tool could not be started: nothing is known about the keychain
    timedOut,
  };
  static constexpr double limit = 30; // seconds

  Kind kind = Kind::notReadable;
  std::string keychain; // readable: the keychain's path, when the tool named it
  std::string text;     // otherwise: the tool's words (standard output, then error), maybe none
  int status = 0;       // notReadable: the tool's exit status

  static KeychainStatus read();
  static KeychainStatus parse(const ToolProcessResult& result);
};

} // namespace halyard
