#include "core/Signing/DeepVerificationResult.hpp"

#include "core/Process/CoreCommand.hpp"

namespace halyard {

DeepVerificationResult DeepVerificationResult::fromError(const std::exception& error) {
  if (const auto* known = dynamic_cast<const Error*>(&error)) {
    if (known->domain() == CoreCommandError::domainName &&
        known->code() == CoreCommandError::timeoutCode)
      return timedOut();
    return failed(known->description());
  }
  return failed(error.what());
}

} // namespace halyard
