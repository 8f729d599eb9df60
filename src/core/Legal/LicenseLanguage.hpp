#pragma once

#include <string>
#include <vector>

namespace halyard {

// A language a license document can be written in: a BCP-47 style code ("en-US", "ja"), the
// two-letter upper-case short code and the English display name.
struct LicenseLanguage {
  std::string code;
  std::string shortCode;
  std::string name;

  bool operator==(const LicenseLanguage&) const = default;

  // The 21 supported languages. The order is the search order of file-name suffixes and the
  // order of the localizations in an agreement, so it must not change.
  static const std::vector<LicenseLanguage>& all();
  // English (US): the language of a document whose name carries no language suffix.
  static const LicenseLanguage& englishUS();
};

} // namespace halyard
