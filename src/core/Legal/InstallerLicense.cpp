#include "core/Legal/InstallerLicense.hpp"

#include <algorithm>

#include "core/Legal/LicenseFormatter.hpp"

namespace halyard {

std::string InstallerLicense::folderName(const LicenseLanguage& language) {
  if (language.code == "en-US") return "en";
  auto name = language.code;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

std::map<std::string, std::string> InstallerLicense::folders(const LicenseAgreement& agreement) {
  std::map<std::string, std::string> result;
  for (const auto& localization : agreement.localizations) {
    if (!localization.hasText()) continue;
    result[folderName(localization.language)] = LicenseFormatter::rtfData(localization.body());
  }
  return result;
}

} // namespace halyard
