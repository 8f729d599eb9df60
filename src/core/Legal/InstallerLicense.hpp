#pragma once

#include <map>
#include <string>

#include "core/Legal/LicenseAgreement.hpp"

namespace halyard {

// The license of an installer package: one "License.rtf" per language, in the resource folder
// named after the language.
struct InstallerLicense {
  // "en" for en-US, "en_GB" for en-GB, else the code with "-" replaced by "_" (zh_Hans, pt_BR).
  static std::string folderName(const LicenseLanguage& language);

  // Folder name → RTF of the composed body, for every localization with text.
  static std::map<std::string, std::string> folders(const LicenseAgreement& agreement);
};

} // namespace halyard
