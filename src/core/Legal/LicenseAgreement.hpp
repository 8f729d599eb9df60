#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Legal/LicenseDocumentKind.hpp"
#include "core/Legal/LicenseLanguage.hpp"
#include "core/Legal/StyledText.hpp"

namespace halyard {

// One readable license document: its kind's title and its text.
struct LicenseDocument {
  std::string title;
  StyledText attributedText;

  bool operator==(const LicenseDocument&) const = default;
};

// The documents of one language, in kind order (terms, privacy, eula).
struct LicenseLocalization {
  LicenseLanguage language;
  std::vector<LicenseDocument> documents;

  // LicenseFormatter::composeBody(documents).
  StyledText body() const;
  // The body's plain string has something besides white space and line breaks.
  bool hasText() const;

  bool operator==(const LicenseLocalization&) const = default;
};

// The license agreement of a release: one localization per language that has documents, English
// (US) first. An agreement is never made of other languages alone.
struct LicenseAgreement {
  std::vector<LicenseLocalization> localizations;

  // No localizations.
  static LicenseAgreement none() { return {}; }
  bool isEmpty() const { return localizations.empty(); }

  // The readable documents of the enabled kinds in one language, in kind order: for each kind the
  // best file (LicenseDocumentLocator::find) when it reads as text; other kinds are skipped.
  static std::vector<LicenseDocument> documents(const std::filesystem::path& folder,
                                                const std::set<LicenseDocumentKind>& kinds,
                                                const LicenseLanguage& language);

  // The agreement of a folder: none without enabled kinds or without English (US) documents;
  // otherwise English (US) first, then every other supported language with documents, in table
  // order. Each language taken is reported to the debug hook.
  static LicenseAgreement load(const std::filesystem::path& folder,
                               const std::set<LicenseDocumentKind>& enabledKinds);

  // The enabled kinds, in kind order, whose English (US) file exists but yields no text, with
  // that file.
  static std::vector<std::pair<LicenseDocumentKind, std::filesystem::path>>
  kindsWithoutText(const std::filesystem::path& folder,
                   const std::set<LicenseDocumentKind>& enabledKinds);

  // The license documents of the enabled kinds in a folder, in any language, in scan order
  // (LicenseDocumentLocator::scan). Used to list a release folder's legal documents.
  static std::vector<std::filesystem::path>
  documentURLs(const std::filesystem::path& folder,
               const std::set<LicenseDocumentKind>& enabledKinds);

  bool operator==(const LicenseAgreement&) const = default;
};

} // namespace halyard
