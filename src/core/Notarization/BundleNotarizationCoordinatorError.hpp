#pragma once

#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Why the bundle notarization coordinator stopped. The description is a fixed prefix followed
// by the text (mostly the failing tool's own words), the text alone, or a fixed sentence.
class BundleNotarizationCoordinatorError : public Error {
public:
  enum class Case {
    submitFailed,
    waitFailed,
    stapleFailed,
    validationFailed,
    rebuildRequired,
    archiveCreationFailed,
    appURLMissing,
    dmgURLMissing,
    keychainProfileMissing,
  };

  static constexpr const char* domainName = "Halyard.bundleNotarization";

  BundleNotarizationCoordinatorError(Case errorCase, std::string text = {});

  Case errorCase() const noexcept { return case_; }
  const std::string& text() const noexcept { return text_; }

  static std::string describe(Case errorCase, const std::string& text);

private:
  Case case_;
  std::string text_;
};

} // namespace halyard
