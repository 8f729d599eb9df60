#include "core/Signing/SigningIdentityListingError.hpp"

#include <cmath>

namespace halyard {

namespace {

std::string sentence(SigningIdentityListingError::Case errorCase, double limit,
                     const std::string& reason) {
  if (errorCase == SigningIdentityListingError::Case::timedOut) {
    return "security find-identity gave no answer within " +
           std::to_string(static_cast<long long>(std::ceil(limit))) + " seconds and was stopped.";
  }
  return "security find-identity could not be started" + (reason.empty() ? "" : ": " + reason) +
         (reason.ends_with('.') ? "" : ".");
}

} // namespace

SigningIdentityListingError::SigningIdentityListingError(Case errorCase, double limit,
                                                         const std::string& reason)
    : Error(domainName, static_cast<int>(errorCase), sentence(errorCase, limit, reason)),
      case_(errorCase) {}

} // namespace halyard
