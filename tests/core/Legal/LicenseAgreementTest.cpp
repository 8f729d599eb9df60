#include <gtest/gtest.h>

#include <fstream>

#include "core/Legal/LicenseAgreement.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;
namespace fs = std::filesystem;

namespace {

const std::set<LicenseDocumentKind> allKinds(kAllLicenseDocumentKinds.begin(),
                                             kAllLicenseDocumentKinds.end());

class LicenseAgreementLoad : public ::testing::Test {
protected:
  TemporaryFolder folder{"LicenseAgreementTest_"};
  std::vector<std::string> debug;

  void SetUp() override {
    HalyardCoreLog::debug = [this](const std::string& line) { debug.push_back(line); };
  }
  void TearDown() override { HalyardCoreLog::debug = nullptr; }

  void add(const std::string& name, std::string_view bytes) {
    std::ofstream(folder.path() / name, std::ios::binary) << bytes;
  }
  // "code: title, title | code: ..."
  std::string summary(const LicenseAgreement& agreement) {
    std::string out;
    for (const auto& localization : agreement.localizations) {
      if (!out.empty()) out += " | ";
      out += localization.language.code + ":";
      for (const auto& document : localization.documents)
        out += " " + document.title;
    }
    return out;
  }
};

} // namespace

TEST_F(LicenseAgreementLoad, EnglishFirstThenTableOrderInKindOrder) {
  add("eula.rtf", "{\\rtf1 Agreement}");
  add("privacy.md", "We **keep** nothing.");
  add("eula_de-DE.txt", "Vereinbarung");
  add("terms_ja.txt", "\xE6\x9D\xA1\xE4\xBB\xB6");
  add("terms_fr-FR.txt", "Conditions");

  const auto agreement = LicenseAgreement::load(folder.path(), allKinds);
  EXPECT_EQ(summary(agreement),
            "en-US: Privacy Policy End-user License Agreement | fr-FR: Terms & Conditions | "
            "de-DE: End-user License Agreement | ja: Terms & Conditions");
  EXPECT_EQ(debug, (std::vector<std::string>{"[Halyard] SLA embedding language: en-US docs=2",
                                             "[Halyard] SLA embedding language: fr-FR docs=1",
                                             "[Halyard] SLA embedding language: de-DE docs=1",
                                             "[Halyard] SLA embedding language: ja docs=1"}));
  EXPECT_EQ(agreement.localizations[0].documents[0].attributedText.string(), "We keep nothing.");
  EXPECT_EQ(summary(LicenseAgreement::load(folder.path(), {LicenseDocumentKind::eula})),
            "en-US: End-user License Agreement | de-DE: End-user License Agreement");
  EXPECT_TRUE(LicenseAgreement::load(folder.path(), {}).isEmpty());
}

TEST_F(LicenseAgreementLoad, NoAgreementWithoutReadableEnglishText) {
  add("eula_fr-FR.rtf", "{\\rtf1 Contrat}");
  EXPECT_TRUE(LicenseAgreement::load(folder.path(), allKinds).isEmpty());
  add("terms.txt", "  \n\n ");
  add("eula.rtf", "garbage");
  EXPECT_TRUE(LicenseAgreement::load(folder.path(), allKinds).isEmpty());

  const auto unreadable = LicenseAgreement::kindsWithoutText(folder.path(), allKinds);
  ASSERT_EQ(unreadable.size(), 2u);
  EXPECT_EQ(unreadable[0], std::make_pair(LicenseDocumentKind::terms, folder.path() / "terms.txt"));
  EXPECT_EQ(unreadable[1], std::make_pair(LicenseDocumentKind::eula, folder.path() / "eula.rtf"));
}

TEST_F(LicenseAgreementLoad, BestFileOfAKindIsTheOnlyOneRead) {
  // eula.rtf outranks eula.txt even when it has no text: the kind is then skipped, not filled
  // from a lesser file.
  add("eula.rtf", "{\\rtf1 }");
  add("eula.txt", "text");
  add("terms.txt", "terms");
  EXPECT_EQ(summary(LicenseAgreement::load(folder.path(), allKinds)), "en-US: Terms & Conditions");
}
