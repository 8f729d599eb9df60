#include "core/DiskImage/DiskImageEngine.hpp"

#include <unistd.h>

#include <system_error>

#include "core/Process/AppleTools.hpp"
#include "core/Support/PropertyList.hpp"
#include "core/Support/SystemVersion.hpp"
#include "core/Support/ToolRoot.hpp"

namespace halyard {

std::string_view rawValue(DiskImageEngine engine) {
  return engine == DiskImageEngine::modern ? "modern" : "legacy";
}

bool DiskImageEngines::prefersModern(const std::filesystem::path& preferencesFile) {
  const auto preferences = PropertyList::readFile(preferencesFile);
  return preferences.boolean(std::string(preferenceKey).c_str()).value_or(false);
}

bool DiskImageEngines::isModernAvailable() {
  if (SystemVersion::current() < modernMinimumSystem) return false;
  const auto tool = ToolRoot::path(AppleTools::diskutil);
  std::error_code error;
  return std::filesystem::is_regular_file(tool, error) && ::access(tool.c_str(), X_OK) == 0;
}

DiskImageEngine DiskImageEngines::resolve(bool prefersModern, bool hasLicenseAgreement) {
  if (prefersModern && !hasLicenseAgreement && isModernAvailable()) return DiskImageEngine::modern;
  return DiskImageEngine::legacy;
}

DiskImageEngine
DiskImageEngines::resolveWithStoredPreference(bool hasLicenseAgreement,
                                              const std::filesystem::path& preferencesFile) {
  return resolve(prefersModern(preferencesFile), hasLicenseAgreement);
}

} // namespace halyard
