#include "core/Notarization/NotaryPollingError.hpp"

namespace halyard {

NotaryPollingError::NotaryPollingError(Case errorCase, std::string text, std::string submissionID)
    : Error(domainName, static_cast<int>(errorCase), text), case_(errorCase),
      text_(std::move(text)), submissionID_(std::move(submissionID)) {}

} // namespace halyard
