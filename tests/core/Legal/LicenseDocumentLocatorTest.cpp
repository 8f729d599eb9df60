#include <fstream>

#include <gtest/gtest.h>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Legal/LicenseDocumentLocator.hpp"
#include "core/Support/TemporaryFolder.hpp"

using halyard::LicenseDocumentKind;
using halyard::LicenseDocumentLocator;
using halyard::LicenseLanguage;
namespace fs = std::filesystem;

namespace {

class LicenseFolder : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"LicenseLocatorTest_"};
  void add(std::initializer_list<std::string> names) {
    for (const auto& name : names)
      std::ofstream(folder.path() / name) << "x";
  }
  std::optional<std::string> find(LicenseDocumentKind kind, std::string_view code = "en-US") {
    for (const auto& language : LicenseLanguage::all()) {
      if (language.code != code) continue;
      const auto found = LicenseDocumentLocator::find(folder.path(), kind, language);
      if (found) return found->filename().string();
    }
    return std::nullopt;
  }
  std::vector<std::string> documents(std::set<LicenseDocumentKind> kinds) {
    std::vector<std::string> names;
    for (const auto& url : halyard::LicenseAgreement::documentURLs(folder.path(), kinds))
      names.push_back(url.filename().string());
    return names;
  }
};

} // namespace

TEST(LicenseDocumentLocatorTest, ClassifiesKindAndLanguageFromTheName) {
  using K = LicenseDocumentKind;
  const std::vector<std::tuple<std::string, K, std::string>> cases = {
      {"eula.rtf", K::eula, "en-US"},
      {"eula_fr-FR.pdf", K::eula, "fr-FR"},
      {"EULA-fr_fr.docx", K::eula, "fr-FR"},
      {"license.en.md", K::eula, "en-US"},
      {"terms_en-GB.txt", K::terms, "en-GB"},
      {"Privacy Policy.html", K::privacy, "en-US"},
      {"privacy_terms.pdf", K::privacy, "en-US"}, // privacy is tested first
      {"Terms of Service.rtf", K::terms, "en-US"},
      {"li-cense_zh_hant.rtf", K::eula, "zh-Hant"}, // separators vanish before the search
      {"Licence ja.txt", K::eula, "ja"},
      {"eula_sv.rtf", K::eula, "en-US"}, // not in the table: stays in the stem
      {"tos-v2.md", K::terms, "en-US"},
      {"MyApp SLA.txt", K::eula, "en-US"},
      {"\xF0\x9F\x93\x9C License.rtf", K::eula, "en-US"},
      {"\xFF\xFE"
       "EULA\xC3.rtf",
       K::eula, "en-US"},
  };
  for (const auto& [name, kind, language] : cases) {
    SCOPED_TRACE(name);
    const auto match = LicenseDocumentLocator::classify(fs::path("/r") / name);
    ASSERT_TRUE(match.has_value());
    EXPECT_EQ(match->kind, kind);
    EXPECT_EQ(match->language.code, language);
  }
  // "tos" and "sla" count only as whole tokens.
  for (const std::string name : {"notes.rtf", "photos.txt", "translation.txt", "en-US.rtf"}) {
    EXPECT_FALSE(LicenseDocumentLocator::classify(fs::path("/r") / name)) << name;
  }
  EXPECT_EQ(LicenseLanguage::all().size(), 21u);
  EXPECT_EQ(halyard::fileName(LicenseDocumentKind::eula, "en-US"), "eula_en-US.rtf");
}

TEST_F(LicenseFolder, ScanSkipsHiddenAndUnsupportedEntriesAndSortsLikeTheFinder) {
  add({".eula.rtf", "eula.pages", "notes.rtf", "EULA 10.txt", "eula 2.txt", "Terms.MD",
       "privacy_de-DE.rtf", "privacy.rtf"});
  fs::create_directory(folder.path() / "license.rtfd"); // a document package is a folder
  // The underscore sorts before the dot, like every punctuation mark.
  EXPECT_EQ(documents({halyard::kAllLicenseDocumentKinds.begin(),
                       halyard::kAllLicenseDocumentKinds.end()}),
            (std::vector<std::string>{"eula 2.txt", "EULA 10.txt", "license.rtfd",
                                      "privacy_de-DE.rtf", "privacy.rtf", "Terms.MD"}));
  EXPECT_EQ(documents({LicenseDocumentKind::privacy}),
            (std::vector<std::string>{"privacy_de-DE.rtf", "privacy.rtf"}));
}

TEST_F(LicenseFolder, FindPrefersTheBestExtensionThenScanOrder) {
  add({"eula.pdf", "eula.rtf", "terms.txt", "Terms.md", "privacy.txt", "License.txt",
       "Agreement.TXT", "privacy_fr-FR.txt"});
  EXPECT_EQ(find(LicenseDocumentKind::eula), "eula.rtf");
  EXPECT_EQ(find(LicenseDocumentKind::terms), "Terms.md"); // md precedes txt
  EXPECT_EQ(find(LicenseDocumentKind::privacy), "privacy.txt");
  EXPECT_EQ(find(LicenseDocumentKind::privacy, "fr-FR"), "privacy_fr-FR.txt");
  EXPECT_EQ(find(LicenseDocumentKind::terms, "ja"), std::nullopt);
  fs::remove(folder.path() / "eula.rtf");
  fs::remove(folder.path() / "eula.pdf");
  // Two of the same extension: the first in scan order.
  EXPECT_EQ(find(LicenseDocumentKind::eula), "Agreement.TXT");
}

TEST_F(LicenseFolder, MissingOrHostileFoldersYieldWhatTheirNamesSay) {
  EXPECT_TRUE(LicenseDocumentLocator::scan(folder.path() / "missing").empty());
  add({"eula.rtf", "Terms \xF0\x9F\x98\x80.md", "\xFF\xFE license.rtf"});
  EXPECT_TRUE(LicenseDocumentLocator::scan(folder.path() / "eula.rtf").empty()); // not a folder
  fs::create_symlink("/nonexistent/privacy.md", folder.path() / "privacy.md");
  fs::create_symlink(folder.path() / "loop.md", folder.path() / "loop.md");
  // Links are listed by name; bytes that are not UTF-8 sort as U+FFFD, after the letters.
  EXPECT_EQ(documents({halyard::kAllLicenseDocumentKinds.begin(),
                       halyard::kAllLicenseDocumentKinds.end()}),
            (std::vector<std::string>{"eula.rtf", "privacy.md", "Terms \xF0\x9F\x98\x80.md",
                                      "\xFF\xFE license.rtf"}));
}
