#pragma once

#include <optional>
#include <string>

namespace halyard {

// The answer to one release-check question: passed, or failed with a short reason.
class ReleaseCheckStatus {
public:
  static ReleaseCheckStatus failed(std::string reason) {
    return ReleaseCheckStatus(false, std::move(reason));
  }
  static ReleaseCheckStatus passed() { return ReleaseCheckStatus(true, {}); }

  bool isPassed() const { return passed_; }
  // The failure's reason; none when the check passed.
  std::optional<std::string> reason() const {
    if (passed_) return std::nullopt;
    return reason_;
  }

  bool operator==(const ReleaseCheckStatus&) const = default;

private:
  ReleaseCheckStatus(bool passed, std::string reason)
      : passed_(passed), reason_(std::move(reason)) {}

  bool passed_;
  std::string reason_;
};

} // namespace halyard
