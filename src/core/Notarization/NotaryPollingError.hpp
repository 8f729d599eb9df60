#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Why a submission to the notary service gave no verdict: the upload failed (no submission
// exists), the status queries kept failing, or the wait reached its bound. The last two name the
// submission, which Apple keeps working on. As a halyard::Error its domain is `domainName`, its
// code the case's number and its description the text.
class NotaryPollingError : public Error {
public:
  enum class Case {
    uploadFailed, // the text is notarytool's output, or a fixed sentence when it printed nothing
    queryFailed,  // the text is the last failed query's output
    timedOut,     // the text is the time-out sentence (an upload over its limit has no id)
  };

  static constexpr const char* domainName = "Halyard.notaryPolling";

  NotaryPollingError(Case errorCase, std::string text, std::string submissionID = {});

  Case errorCase() const noexcept { return case_; }
  const std::string& text() const noexcept { return text_; }
  // Empty when nothing was uploaded.
  const std::string& submissionID() const noexcept { return submissionID_; }

private:
  Case case_;
  std::string text_;
  std::string submissionID_;
};

} // namespace halyard
