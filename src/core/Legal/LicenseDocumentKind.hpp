#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The kinds of license document a release folder may hold. The case order is the order in which
// the documents of one language are put together into an agreement.
enum class LicenseDocumentKind { terms, privacy, eula };

inline constexpr std::array<LicenseDocumentKind, 3> kAllLicenseDocumentKinds = {
    LicenseDocumentKind::terms, LicenseDocumentKind::privacy, LicenseDocumentKind::eula};

// "terms", "privacy" or "eula".
std::string_view rawValue(LicenseDocumentKind kind);
std::optional<LicenseDocumentKind> licenseDocumentKind(std::string_view rawValue);

// The heading shown above the document: "Terms & Conditions", "Privacy Policy",
// "End-user License Agreement".
std::string_view title(LicenseDocumentKind kind);

// The canonical file name of a document in a language: "eula_en-US.rtf".
std::string fileName(LicenseDocumentKind kind, std::string_view languageCode);

} // namespace halyard
