#include "cli/settings/SettingDefinition.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/commands/HelpCommand.hpp"
#include "cli/release/InstallerWindowPreset.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Import/NestedSigningScheduler.hpp"

namespace bosun {
namespace {

// Every setting agrees with the two other places that name it: each of its flags is accepted by
// the argument parser, and `bosun help config` lists its key beside its environment variable.
TEST(SettingDefinitionTest, EveryFlagIsParsedAndEverySettingIsInTheConfigurationHelp) {
  const std::string help = *HelpCommand::text("config");
  std::string defaults; // "key=default(allowed values)" for the settings that have either
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    if (setting.defaultValue || setting.allowedValues) {
      defaults += setting.key;
      if (setting.defaultValue) defaults += "=" + *setting.defaultValue;
      if (setting.allowedValues) {
        defaults += "(";
        for (const auto& value : *setting.allowedValues)
          defaults += value + (&value == &setting.allowedValues->back() ? ")" : " ");
      }
      defaults += " ";
    }
    EXPECT_EQ(setting.onFlag.has_value(), setting.offFlag.has_value()) << setting.key;
    EXPECT_NE(setting.onFlag.has_value(), setting.valueFlag.has_value()) << setting.key;
    if (setting.valueFlag) {
      const ParsedArguments parsed({"start", "--" + *setting.valueFlag, "v"});
      EXPECT_EQ(parsed.value(*setting.valueFlag), "v") << setting.key;
    } else {
      const ParsedArguments parsed({"start", "--" + *setting.onFlag, "--" + *setting.offFlag});
      EXPECT_TRUE(parsed.hasFlag(*setting.onFlag) && parsed.hasFlag(*setting.offFlag))
          << setting.key;
    }
    if (setting.defaultValue && setting.allowedValues) {
      EXPECT_NE(std::find(setting.allowedValues->begin(), setting.allowedValues->end(),
                          *setting.defaultValue),
                setting.allowedValues->end())
          << setting.key;
    }
    const auto row = help.find("  " + setting.key + " ");
    ASSERT_NE(row, std::string::npos) << setting.key;
    EXPECT_NE(help.substr(row, help.find('\n', row) - row).find(setting.environment),
              std::string::npos)
        << setting.key;
  }
  EXPECT_EQ(defaults, "format=dmg(dmg pkg) window=compact(compact small balanced large standard) "
                      "compression=zlib(zlib lzfse lzma) arrow=arrow.right sign=true notarize=true "
                      "notaryWait=900 "
                      "notarizeApp=false appBundle(notarize staple off) skipMissingTicket=true "
                      "deepVerify=false signingJobs=" +
                          std::to_string(halyard::NestedSigningScheduler::defaultJobs()) +
                          " modernDiskTools=false reversed=false volumeIcon=false ");
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
