#include <fstream>

#include <gtest/gtest.h>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Legal/LicenseDocumentLocator.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::LicenseAgreement;
using halyard::LicenseDocumentKind;
using halyard::LicenseDocumentLocator;
using halyard::LicenseLanguage;
namespace fs = std::filesystem;

namespace {

const LicenseLanguage& language(std::string_view code) {
  for (const auto& candidate : LicenseLanguage::all()) {
    if (candidate.code == code) return candidate;
  }
  throw std::invalid_argument("no language " + std::string(code));
}

void touch(const fs::path& path) {
  std::ofstream(path) << "x";
}

std::vector<std::string> fileNames(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  for (const auto& path : paths)
    names.push_back(path.filename().string());
  return names;
}

class LicenseFolder : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"LicenseLocatorTest_"};
  fs::path add(const std::string& name) {
    touch(folder.path() / name);
    return folder.path() / name;
  }
};

} // namespace

TEST(LicenseLanguageTest, TableOrderAndEnglishDefault) {
  const auto& all = LicenseLanguage::all();
  ASSERT_EQ(all.size(), 21u);
  EXPECT_EQ(all[0], (LicenseLanguage{"en-US", "EN", "English (US)"}));
  EXPECT_EQ(all[1], (LicenseLanguage{"en-GB", "EN", "English"}));
  EXPECT_EQ(all[4], (LicenseLanguage{"zh-Hant", "ZH", "Chinese Traditional"}));
  EXPECT_EQ(all[14], (LicenseLanguage{"pt-BR", "PT", "Portuguese"}));
  EXPECT_EQ(all[20], (LicenseLanguage{"vi", "VI", "Vietnamese"}));
  EXPECT_EQ(LicenseLanguage::englishUS(), all[0]);
  // Equality needs all three fields.
  EXPECT_FALSE((LicenseLanguage{"en-US", "EN", "English"}) == all[0]);
}

TEST(LicenseDocumentKindTest, RawValuesTitlesAndFileNames) {
  EXPECT_EQ(halyard::title(LicenseDocumentKind::terms), "Terms & Conditions");
  EXPECT_EQ(halyard::title(LicenseDocumentKind::privacy), "Privacy Policy");
  EXPECT_EQ(halyard::title(LicenseDocumentKind::eula), "End-user License Agreement");
  EXPECT_EQ(halyard::fileName(LicenseDocumentKind::eula, "en-US"), "eula_en-US.rtf");
  EXPECT_EQ(halyard::fileName(LicenseDocumentKind::privacy, "ja"), "privacy_ja.rtf");
  EXPECT_EQ(halyard::licenseDocumentKind("terms"), LicenseDocumentKind::terms);
  EXPECT_EQ(halyard::licenseDocumentKind("EULA"), std::nullopt);
}

TEST(LicenseDocumentLocatorTest, ClassifiesKindAndLanguageFromTheName) {
  struct Case {
    std::string name;
    LicenseDocumentKind kind;
    std::string language;
  };
  const std::vector<Case> cases = {
      {"eula.rtf", LicenseDocumentKind::eula, "en-US"},
      {"eula_fr-FR.pdf", LicenseDocumentKind::eula, "fr-FR"},
      {"EULA-fr_fr.docx", LicenseDocumentKind::eula, "fr-FR"},
      {"license.en.md", LicenseDocumentKind::eula, "en-US"},
      {"terms_en-GB.txt", LicenseDocumentKind::terms, "en-GB"},
      {"eula_en-gb.rtf", LicenseDocumentKind::eula, "en-GB"},
      {"Privacy Policy.html", LicenseDocumentKind::privacy, "en-US"},
      {"privacy_terms.pdf", LicenseDocumentKind::privacy, "en-US"},
      {"Terms of Service.rtf", LicenseDocumentKind::terms, "en-US"},
      {"MyApp License.rtfd", LicenseDocumentKind::eula, "en-US"},
      {"legal.webarchive", LicenseDocumentKind::eula, "en-US"},
      {"eula_zh_hant.rtf", LicenseDocumentKind::eula, "zh-Hant"},
      {"Licence ja.txt", LicenseDocumentKind::eula, "ja"},
      {"eula en.txt", LicenseDocumentKind::eula, "en-US"},
      // Not in the table: the suffix stays in the stem, which still contains "eula".
      {"eula_sv.rtf", LicenseDocumentKind::eula, "en-US"},
      // "id" is Indonesian, wherever it appears as a suffix.
      {"license_id.md", LicenseDocumentKind::eula, "id"},
      {"tos-v2.md", LicenseDocumentKind::terms, "en-US"},
      {"MyApp SLA.txt", LicenseDocumentKind::eula, "en-US"},
      // Names beyond ASCII: letters outside the BMP, and bytes that are not UTF-8.
      {"\xF0\x9F\x93\x9C License.rtf", LicenseDocumentKind::eula, "en-US"},
      {"\xFF\xFE"
       "EULA\xC3.rtf",
       LicenseDocumentKind::eula, "en-US"},
      {"\xC3\x89ULA terms_de-DE.md", LicenseDocumentKind::terms, "de-DE"},
  };
  for (const auto& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    const auto match = LicenseDocumentLocator::classify(fs::path("/r") / testCase.name);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->kind, testCase.kind);
    EXPECT_EQ(match->language.code, testCase.language);
    EXPECT_EQ(match->url, fs::path("/r") / testCase.name);
  }
  for (const std::string name : {"notes.rtf", "readme.md", "photos.txt", "translation.txt",
                                 "Lizenz.rtf", "en-US.rtf", "\xFF.rtf"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(LicenseDocumentLocator::classify(fs::path("/r") / name).has_value());
  }
}

TEST(LicenseDocumentLocatorTest, KindFromStemUsesJoinedTokensAndWholeTokens) {
  using K = LicenseDocumentKind;
  EXPECT_EQ(LicenseDocumentLocator::kind("my privacy notes"), K::privacy);
  EXPECT_EQ(LicenseDocumentLocator::kind("PrivacyPolicy"), K::privacy);
  // Separators vanish before the substring test...
  EXPECT_EQ(LicenseDocumentLocator::kind("li-cense"), K::eula);
  EXPECT_EQ(LicenseDocumentLocator::kind("con_ditions"), K::terms);
  // ...but "tos" and "sla" count only as whole tokens.
  EXPECT_EQ(LicenseDocumentLocator::kind("app tos"), K::terms);
  EXPECT_EQ(LicenseDocumentLocator::kind("photos"), std::nullopt);
  EXPECT_EQ(LicenseDocumentLocator::kind("sla"), K::eula);
  EXPECT_EQ(LicenseDocumentLocator::kind("translation"), std::nullopt);
  EXPECT_EQ(LicenseDocumentLocator::kind("readme"), std::nullopt);
  EXPECT_EQ(LicenseDocumentLocator::kind(""), std::nullopt);
}

TEST_F(LicenseFolder, ScanSkipsHiddenAndUnsupportedAndSortsLikeTheFinder) {
  add(".eula.rtf");
  add("eula.pages");
  add("notes.rtf");
  add("EULA 10.txt");
  add("eula 2.txt");
  add("Terms.MD");
  add("privacy.rtf");
  fs::create_directory(folder.path() / "license.rtfd"); // a document package is a folder
  const auto matches = LicenseDocumentLocator::scan(folder.path());
  std::vector<std::string> names;
  for (const auto& match : matches)
    names.push_back(match.url.filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"eula 2.txt", "EULA 10.txt", "license.rtfd",
                                             "privacy.rtf", "Terms.MD"}));
}

TEST_F(LicenseFolder, FindPrefersTheBestExtensionThenScanOrder) {
  add("eula.pdf");
  add("eula.rtf");
  EXPECT_EQ(LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::eula,
                                         LicenseLanguage::englishUS()),
            folder.path() / "eula.rtf");
  fs::remove(folder.path() / "eula.rtf");
  fs::remove(folder.path() / "eula.pdf");

  add("eula.txt");
  add("EULA.md");
  EXPECT_EQ(LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::eula,
                                         LicenseLanguage::englishUS()),
            folder.path() / "EULA.md");

  // Same extension: the first in the Finder's order.
  add("License.txt");
  add("agreement.TXT");
  add("terms_fr-FR.txt");
  fs::remove(folder.path() / "EULA.md");
  EXPECT_EQ(LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::eula,
                                         LicenseLanguage::englishUS()),
            folder.path() / "agreement.TXT");
  EXPECT_EQ(
      LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::terms, language("fr-FR")),
      folder.path() / "terms_fr-FR.txt");
  EXPECT_EQ(LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::privacy,
                                         LicenseLanguage::englishUS()),
            std::nullopt);
  EXPECT_EQ(LicenseDocumentLocator::find(folder.path(), LicenseDocumentKind::terms,
                                         LicenseLanguage::englishUS()),
            std::nullopt);
}

TEST_F(LicenseFolder, DocumentURLsKeepsEnabledKindsInScanOrder) {
  add("terms.rtf");
  add("eula_de-DE.rtf");
  add("privacy.md");
  add("eula.rtf");
  // The underscore sorts before the dot, like every punctuation mark in the Finder's order.
  EXPECT_EQ(fileNames(LicenseAgreement::documentURLs(
                folder.path(), {LicenseDocumentKind::eula, LicenseDocumentKind::terms})),
            (std::vector<std::string>{"eula_de-DE.rtf", "eula.rtf", "terms.rtf"}));
  EXPECT_TRUE(LicenseAgreement::documentURLs(folder.path(), {}).empty());
}

TEST_F(LicenseFolder, MissingEmptyOrNonFolderYieldsNothing) {
  EXPECT_TRUE(LicenseDocumentLocator::scan(folder.path()).empty());
  EXPECT_TRUE(LicenseDocumentLocator::scan(folder.path() / "missing").empty());
  const auto file = add("eula.rtf");
  EXPECT_TRUE(LicenseDocumentLocator::scan(file).empty());
  EXPECT_EQ(
      LicenseDocumentLocator::find(file, LicenseDocumentKind::eula, LicenseLanguage::englishUS()),
      std::nullopt);
}

TEST_F(LicenseFolder, HostileEntriesAreListedByNameWithoutFailing) {
  for (int i = 0; i < 3000; ++i)
    add("file " + std::to_string(i) + ".txt");
  add("Terms \xF0\x9F\x98\x80.md");
  add("\xFF\xFE license.rtf");
  fs::create_symlink("/nonexistent/eula.rtf", folder.path() / "eula.rtf");
  fs::create_symlink("/etc", folder.path() / "privacy.html");
  fs::create_symlink(folder.path() / "loop.md", folder.path() / "loop.md");
  const auto urls =
      LicenseAgreement::documentURLs(folder.path(), {halyard::kAllLicenseDocumentKinds.begin(),
                                                     halyard::kAllLicenseDocumentKinds.end()});
  // Bytes that are not UTF-8 compare as U+FFFD, after the letters.
  EXPECT_EQ(fileNames(urls),
            (std::vector<std::string>{"eula.rtf", "privacy.html", "Terms \xF0\x9F\x98\x80.md",
                                      "\xFF\xFE license.rtf"}));
}
