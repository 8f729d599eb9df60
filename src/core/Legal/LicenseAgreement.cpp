#include "core/Legal/LicenseAgreement.hpp"

#include "core/Legal/LicenseDocumentLocator.hpp"
#include "core/Legal/LicenseDocumentReader.hpp"
#include "core/Legal/LicenseFormatter.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace halyard {

StyledText LicenseLocalization::body() const {
  return LicenseFormatter::composeBody(documents);
}

bool LicenseLocalization::hasText() const {
  return !LicenseFormatter::isBlank(body().string());
}

std::vector<LicenseDocument> LicenseAgreement::documents(const std::filesystem::path& folder,
                                                         const std::set<LicenseDocumentKind>& kinds,
                                                         const LicenseLanguage& language) {
  std::vector<LicenseDocument> result;
  for (const auto kind : kAllLicenseDocumentKinds) {
    if (kinds.count(kind) == 0) continue;
    const auto url = LicenseDocumentLocator::find(folder, kind, language);
    if (!url) continue;
    if (auto text = LicenseDocumentReader::read(*url))
      result.push_back(LicenseDocument{std::string(title(kind)), std::move(*text)});
  }
  return result;
}

LicenseAgreement LicenseAgreement::load(const std::filesystem::path& folder,
                                        const std::set<LicenseDocumentKind>& enabledKinds) {
  if (enabledKinds.empty()) return none();
  const auto& english = LicenseLanguage::englishUS();
  auto englishDocuments = documents(folder, enabledKinds, english);
  if (englishDocuments.empty()) return none();

  LicenseAgreement agreement;
  HalyardCoreLog::debugMessage("[Halyard] SLA embedding language: en-US docs=" +
                               std::to_string(englishDocuments.size()));
  agreement.localizations.push_back(LicenseLocalization{english, std::move(englishDocuments)});
  for (const auto& language : LicenseLanguage::all()) {
    if (language == english) continue;
    auto localized = documents(folder, enabledKinds, language);
    if (localized.empty()) continue;
    HalyardCoreLog::debugMessage("[Halyard] SLA embedding language: " + language.code +
                                 " docs=" + std::to_string(localized.size()));
    agreement.localizations.push_back(LicenseLocalization{language, std::move(localized)});
  }
  return agreement;
}

std::vector<std::pair<LicenseDocumentKind, std::filesystem::path>>
LicenseAgreement::kindsWithoutText(const std::filesystem::path& folder,
                                   const std::set<LicenseDocumentKind>& enabledKinds) {
  std::vector<std::pair<LicenseDocumentKind, std::filesystem::path>> result;
  for (const auto kind : kAllLicenseDocumentKinds) {
    if (enabledKinds.count(kind) == 0) continue;
    const auto url = LicenseDocumentLocator::find(folder, kind, LicenseLanguage::englishUS());
    if (url && !LicenseDocumentReader::read(*url)) result.emplace_back(kind, *url);
  }
  return result;
}

std::vector<std::filesystem::path>
LicenseAgreement::documentURLs(const std::filesystem::path& folder,
                               const std::set<LicenseDocumentKind>& enabledKinds) {
  std::vector<std::filesystem::path> urls;
  for (const auto& match : LicenseDocumentLocator::scan(folder)) {
    if (enabledKinds.count(match.kind) != 0) urls.push_back(match.url);
  }
  return urls;
}

} // namespace halyard
