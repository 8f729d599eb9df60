#pragma once

#include <exception>
#include <string>

namespace halyard {

// The outcome of a deep, strict signature verification of an app bundle.
class DeepVerificationResult {
public:
  enum class Kind { failed, passed, timedOut };

  // Verification ran and failed, or could not be run; `text` says why.
  static DeepVerificationResult failed(std::string text) {
    return DeepVerificationResult(Kind::failed, std::move(text));
  }
  static DeepVerificationResult passed() { return DeepVerificationResult(Kind::passed, {}); }
  static DeepVerificationResult timedOut() { return DeepVerificationResult(Kind::timedOut, {}); }

  // How an error thrown by the verification run is reported: a tool run stopped by its time
  // limit (domain "Halyard.process", code -2) is `timedOut`; anything else is `failed` with the
  // error's description.
  static DeepVerificationResult fromError(const std::exception& error);

  Kind kind() const { return kind_; }
  bool isPassed() const { return kind_ == Kind::passed; }
  // The failure's description; empty unless the result is `failed`.
  const std::string& failureText() const { return text_; }

  bool operator==(const DeepVerificationResult&) const = default;

private:
  DeepVerificationResult(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

  Kind kind_;
  std::string text_;
};

} // namespace halyard
