#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// A step of the app bundle notarizer that failed, with the tool's combined output. The
// description is STEP + " failed: " + the trimmed output, or STEP + " failed." when the tool
// printed nothing.
class AppBundleNotarizerError : public Error {
public:
  static constexpr const char* domainName = "Halyard.appBundleNotarizer";

  AppBundleNotarizerError(std::string step, std::string output);

  const std::string& step() const noexcept { return step_; }
  const std::string& output() const noexcept { return output_; }

  static std::string describe(const std::string& step, const std::string& output);

private:
  std::string step_;
  std::string output_;
};

} // namespace halyard
