#include "core/Legal/LicenseDocumentKind.hpp"

namespace halyard {

std::string_view rawValue(LicenseDocumentKind kind) {
  switch (kind) {
  case LicenseDocumentKind::terms:
    return "terms";
  case LicenseDocumentKind::privacy:
    return "privacy";
  case LicenseDocumentKind::eula:
    return "eula";
  }
  return "eula";
}

std::optional<LicenseDocumentKind> licenseDocumentKind(std::string_view value) {
  for (const LicenseDocumentKind kind : kAllLicenseDocumentKinds) {
    if (rawValue(kind) == value) return kind;
  }
  return std::nullopt;
}

std::string_view title(LicenseDocumentKind kind) {
  switch (kind) {
  case LicenseDocumentKind::terms:
    return "Terms & Conditions";
  case LicenseDocumentKind::privacy:
    return "Privacy Policy";
  case LicenseDocumentKind::eula:
    return "End-user License Agreement";
  }
  return "End-user License Agreement";
}

std::string fileName(LicenseDocumentKind kind, std::string_view languageCode) {
  std::string name(rawValue(kind));
  name += '_';
  name += languageCode;
  name += ".rtf";
  return name;
}

} // namespace halyard
