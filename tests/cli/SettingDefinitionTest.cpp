#include "cli/SettingDefinition.hpp"

#include <gtest/gtest.h>

#include "cli/InstallerWindowPreset.hpp"

namespace bosun {
namespace {

// One line per row: key, flags, default and allowed values, as the settings table gives them.
std::string describe(const SettingDefinition& setting) {
  std::string line = setting.key + " |";
  if (setting.valueFlag) line += " --" + *setting.valueFlag;
  if (setting.onFlag) line += " --" + *setting.onFlag + " / --" + *setting.offFlag;
  line += " | " + setting.defaultValue.value_or("none") + " |";
  if (!setting.allowedValues) return line + " any";
  for (const std::string& value : *setting.allowedValues)
    line += " " + value;
  return line;
}

TEST(SettingDefinitionTest, TableRowsInOrder) {
  std::vector<std::string> rows;
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    rows.push_back(describe(setting));
    EXPECT_EQ(setting.onFlag.has_value(), setting.offFlag.has_value()) << setting.key;
    EXPECT_NE(setting.onFlag.has_value(), setting.valueFlag.has_value()) << setting.key;
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "identity | --identity | none | any",
                      "installerIdentity | --installer-identity | none | any",
                      "keychainProfile | --profile | none | any",
                      "apiKeyPath | --key | none | any",
                      "apiKeyID | --key-id | none | any",
                      "apiIssuer | --issuer | none | any",
                      "format | --format | dmg | dmg pkg",
                      "output | --output | none | any",
                      "window | --window | compact | compact small balanced large standard",
                      "compression | --compression | zlib | zlib lzfse lzma",
                      "arrow | --arrow | arrow.right | any",
                      "sign | --sign / --no-sign | true | any",
                      "notarize | --notarize / --no-notarize | true | any",
                      "notarizeApp | --notarize-app / --no-notarize-app | false | any",
                      "appBundle | --app-bundle | none | notarize staple off",
                      "skipMissingTicket | --skip-missing-ticket / --no-skip-missing-ticket | true "
                      "| any",
                      "deepVerify | --deep / --no-deep | false | any",
                      "modernDiskTools | --modern / --legacy | false | any",
                      "reversed | --reversed / --no-reversed | false | any",
                  }));
  ASSERT_NE(SettingDefinition::find("deepVerify"), nullptr);
  EXPECT_EQ(SettingDefinition::find("deepVerify")->environment, "BOSUN_DEEP");
  EXPECT_EQ(SettingDefinition::find("deep"), nullptr);
}

TEST(InstallerWindowPresetTest, SizesAndDesktopAppValues) {
  std::vector<std::string> values;
  for (InstallerWindowPreset preset : InstallerWindowPresets::allCases) {
    values.push_back(std::string(rawValue(preset)) + "=" + halyardValue(preset));
  }
  EXPECT_EQ(values,
            (std::vector<std::string>{"compact=960x600", "small=1120x700", "balanced=1280x800",
                                      "large=1440x900", "standard=1600x1000"}));
  EXPECT_EQ(windowSize(InstallerWindowPreset::balanced), (InstallerWindowSize{1280, 800}));

  EXPECT_EQ(InstallerWindowPresets::fromHalyardValue("1440x900"), InstallerWindowPreset::large);
  for (const char* other : {"1440 x 900", "1440X900", " 960x600", "960x600\n", "800x600", ""}) {
    EXPECT_EQ(InstallerWindowPresets::fromHalyardValue(other), std::nullopt) << other;
  }
  EXPECT_EQ(InstallerWindowPresets::fromRawValue("standard"), InstallerWindowPreset::standard);
  EXPECT_EQ(InstallerWindowPresets::fromRawValue("Standard"), std::nullopt);
}

} // namespace
} // namespace bosun
