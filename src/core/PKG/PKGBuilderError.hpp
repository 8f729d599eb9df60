#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Why a package build stopped: a failing step with the tool's output, or a name from the app
// that cannot safely name a file inside the installer. As a halyard::Error its domain is
// `domainName` and its code the case's number.
class PKGBuilderError : public Error {
public:
  enum class Case {
    step,       // name + " failed: " + output, or name + " failed." without output
    unsafeName, // a bundle identifier or license folder that would leave the staging folder
  };

  static constexpr const char* domainName = "Halyard.PKGBuilder";

  static PKGBuilderError step(std::string name, const std::string& output);
  // `what` says which name it is ("bundle identifier", "license folder").
  static PKGBuilderError unsafeName(std::string what, std::string value);

  Case errorCase() const noexcept { return case_; }
  // The step's name, or what kind of name was refused.
  const std::string& name() const noexcept { return name_; }
  // The step's trimmed output, or the refused value.
  const std::string& text() const noexcept { return text_; }

private:
  PKGBuilderError(Case errorCase, std::string name, std::string text, const std::string& message);

  Case case_;
  std::string name_;
  std::string text_;
};

} // namespace halyard
