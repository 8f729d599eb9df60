#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// `security find-identity` gave no list: it hung and was stopped, or it could not be started.
// Nothing is then known about the keychain, which is not the same as holding no identity. As a
// halyard::Error its domain is `domainName`, its code the case's number and its description the
// sentence that says what happened.
class SigningIdentityListingError : public Error {
public:
  enum class Case { timedOut, notStarted };

  static constexpr const char* domainName = "Halyard.signingIdentityListing";

  // `reason`: the system's explanation of a failed start.
  SigningIdentityListingError(Case errorCase, double limit, const std::string& reason = {});

  Case errorCase() const noexcept { return case_; }

private:
  Case case_;
};

} // namespace halyard
