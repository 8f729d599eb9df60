#include <gtest/gtest.h>

#include "RTFTestReader.hpp"
#include "core/Legal/InstallerLicense.hpp"
#include "core/Legal/LicenseFormatter.hpp"
#include "core/Legal/RTFReader.hpp"

using namespace halyard;

namespace {

const TextColor black{0, 0, 0};
const std::string rule = [] {
  std::string line;
  for (int i = 0; i < 24; ++i)
    line += "\u2500";
  return line;
}();

TextAttributes attributes(double size, bool bold = false, std::optional<TextColor> color = black) {
  TextAttributes result;
  result.fontSize = size;
  result.bold = bold;
  result.color = color;
  return result;
}

StyledText styled(std::initializer_list<TextRun> runs) {
  StyledText text;
  for (const auto& run : runs)
    text.append(run.text, run.attributes);
  return text;
}

LicenseLanguage language(std::string_view code) {
  for (const auto& candidate : LicenseLanguage::all())
    if (candidate.code == code) return candidate;
  throw std::runtime_error("no language");
}

} // namespace

TEST(LicenseFormatter, ComposesTitlesTextsAndSeparators) {
  TextAttributes italicRed;
  italicRed.italic = true;
  italicRed.color = TextColor{200, 0, 0};
  const LicenseDocument first{"Privacy Policy", styled({{"We keep ", {}}, {"nothing", italicRed}})};
  const LicenseDocument second{"End-user License Agreement", styled({{"Use it.", {}}})};

  const auto body = LicenseFormatter::composeBody({first, second});
  const StyledText expected = styled({{"Privacy Policy\n\n", attributes(16, true)},
                                      {"We keep ", {}},
                                      {"nothing", italicRed},
                                      {"\n\n" + rule + "\n\n", attributes(12)},
                                      {"End-user License Agreement\n\n", attributes(16, true)},
                                      {"Use it.", {}}});
  EXPECT_EQ(body, expected);
  EXPECT_TRUE(LicenseFormatter::composeBody({}).runs.empty());
}

TEST(LicenseFormatter, PlainTextNormalisesTabsLineBreaksAndBullets) {
  EXPECT_EQ(LicenseFormatter::plainText(styled({{"a\tb\r\nc\rd", {}}})), "a    b\nc\nd");
  EXPECT_EQ(LicenseFormatter::plainText(styled({{"\uF0B7 x \u25E6 y \u25AA z\u2028\u2029", {}}})),
            "\u2022 x \u2022 y \u2022 z\u2022\u2022");
}

TEST(LicenseFormatter, BlankMeansOnlyUnicodeWhiteSpace) {
  EXPECT_TRUE(LicenseFormatter::isBlank(" \n\t\r\u00A0\u2028\u3000"));
  EXPECT_FALSE(LicenseFormatter::isBlank(" \u2022 "));
}

// The RTF written for a body is read back identically by our reader and by the small independent
// reader of the test: text (non-ASCII, curly quotes, a character beyond U+FFFF, RTF's own special
// characters), bold, italic, underline, size, colour and the defaults filled in.
TEST(LicenseFormatter, RTFDataReadsBackWithEveryAttribute) {
  TextAttributes italicRed;
  italicRed.italic = true;
  italicRed.underline = true;
  italicRed.color = TextColor{200, 10, 0};
  TextAttributes serif;
  serif.fontFamily = "Mincho \u660E\u671D";
  serif.fontSize = 13.5;
  const auto body = LicenseFormatter::composeBody(
      {{"Terms & Conditions",
        styled({{"Caf\u00e9 \u201Cquoted\u201D {braces} \\ back\tslash\n", {}},
                {"warning \U0001F600", italicRed},
                {" serif", serif}})}});
  const auto rtf = LicenseFormatter::rtfData(body);
  for (const unsigned char c : rtf)
    ASSERT_LT(c, 0x80) << "RTF must be 7-bit";

  // Our reader: every run has its colour and size now; the system font has no family.
  const auto read = RTFReader::read(rtf);
  ASSERT_TRUE(read);
  auto redFilled = italicRed;
  redFilled.fontSize = 12;
  auto serifFilled = serif;
  serifFilled.color = black;
  EXPECT_EQ(*read,
            styled({{"Terms & Conditions\n\n", attributes(16, true)},
                    {"Caf\u00e9 \u201Cquoted\u201D {braces} \\ back\tslash\n", attributes(12)},
                    {"warning \U0001F600", redFilled},
                    {" serif", serifFilled}}));

  // The independent reader.
  const auto runs = rtftest::readTestRTF(rtf);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0], (rtftest::RTFTestRun{"Terms & Conditions\n\n", true, false, 32,
                                          ".AppleSystemUIFont", 0x000000}));
  EXPECT_EQ(runs[1].text, "Caf\u00e9 \u201Cquoted\u201D {braces} \\ back\tslash\n");
  EXPECT_EQ(runs[1].halfPoints, 24);
  EXPECT_EQ(runs[2], (rtftest::RTFTestRun{"warning \U0001F600", false, true, 24,
                                          ".AppleSystemUIFont", 0xC80A00}));
  EXPECT_EQ(runs[3], (rtftest::RTFTestRun{" serif", false, false, 27, "Mincho \u660E\u671D", 0}));
}

TEST(InstallerLicense, OneRTFPerLanguageWithTextInItsInstallerFolder) {
  LicenseAgreement agreement;
  for (const char* code : {"en-US", "en-GB", "zh-Hans", "pt-BR", "ja"})
    agreement.localizations.push_back({language(code), {{"EULA", styled({{code, {}}})}}});
  agreement.localizations.push_back({language("fr-FR"), {}});

  const auto folders = InstallerLicense::folders(agreement);
  std::vector<std::string> names;
  for (const auto& [name, rtf] : folders)
    names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"en", "en_GB", "ja", "pt_BR", "zh_Hans"}));
  EXPECT_EQ(rtftest::plainTestRTF(folders.at("pt_BR")), "EULA\n\npt-BR");
}
