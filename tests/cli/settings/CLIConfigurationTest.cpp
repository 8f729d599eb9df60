#include "cli/settings/CLIConfiguration.hpp"

#include <gtest/gtest.h>

#include "cli/settings/SettingDefinition.hpp"

namespace bosun {
namespace {

std::string decodingFailure(std::string_view bytes) {
  try {
    CLIConfiguration::decode(bytes);
  } catch (const CLIConfiguration::CodingError& error) {
    return error.what();
  }
  return "(decoded)";
}

TEST(CLIConfigurationTest, DecodesKnownMembersAndIgnoresOthers) {
  const auto configuration = CLIConfiguration::decode(R"json({
    "identity": "Developer ID Application: Example Corp (A1B2C3D4E5)",
    "apiKeyPath": "~/keys/AuthKey.p8",
    "deepVerify": true,
    "sign": false,
    "format": "PKG",
    "keychainProfile": null,
    "comment": {"anything": [1, 2, 3]},
    "SIGN": "not a member: names are case-sensitive"
  })json");
  EXPECT_EQ(configuration.identity, "Developer ID Application: Example Corp (A1B2C3D4E5)");
  EXPECT_EQ(configuration.apiKeyPath, "~/keys/AuthKey.p8");
  EXPECT_EQ(configuration.deepVerify, true);
  EXPECT_EQ(configuration.sign, false);
  EXPECT_EQ(configuration.format, "PKG"); // decoding keeps text as written
  EXPECT_EQ(configuration.keychainProfile, std::nullopt);
  EXPECT_EQ(configuration.notarize, std::nullopt);

  EXPECT_TRUE(CLIConfiguration::decode("{}").isEmpty());
  EXPECT_TRUE(CLIConfiguration::decode("\xEF\xBB\xBF {\"other\": 1}\n").isEmpty());
}

TEST(CLIConfigurationTest, AMemberOfTheWrongTypeMakesTheWholeDocumentUnreadable) {
  EXPECT_EQ(decodingFailure(R"({"identity": "x", "deepVerify": "yes"})"),
            "\"deepVerify\" must be true or false.");
  EXPECT_EQ(decodingFailure(R"({"sign": 1})"), "\"sign\" must be true or false.");
  EXPECT_EQ(decodingFailure(R"({"window": 960})"), "\"window\" must be a string.");
  EXPECT_EQ(decodingFailure(R"({"identity": ["a"]})"), "\"identity\" must be a string.");
  EXPECT_EQ(decodingFailure(R"({"output": true})"), "\"output\" must be a string.");
  for (const char* count :
       {R"({"signingJobs": "4"})", R"({"signingJobs": 2.5})", R"({"signingJobs": 4294967297})"})
    EXPECT_EQ(decodingFailure(count), "\"signingJobs\" must be a whole number.") << count;
}

TEST(CLIConfigurationTest, DocumentsThatAreNotAConfigurationObject) {
  EXPECT_EQ(decodingFailure("[]"), "The file does not hold a JSON object.");
  EXPECT_EQ(decodingFailure("\"dmg\""), "The file does not hold a JSON object.");
  EXPECT_EQ(decodingFailure("null"), "The file does not hold a JSON object.");
  EXPECT_EQ(decodingFailure("{\"identity\": \"caf\xC3\"}"), "The file is not UTF-8 text.");
  EXPECT_EQ(decodingFailure("\xFF\xFE{\0}"), "The file is not UTF-8 text.");

  for (std::string_view broken : {"", "   ", "{", "{\"sign\": true,}", "{} {}", "{'a': 1}",
                                  "{\"a\": 1} trailing", "// comment\n{}"}) {
    EXPECT_EQ(decodingFailure(broken).rfind("The file is not valid JSON: ", 0), 0u) << broken;
  }
}

TEST(CLIConfigurationTest, NestingAndSizeAreBounded) {
  const int limit = CLIConfiguration::maximumNestingDepth;
  auto nested = [](int levels) { // an object holding levels - 1 arrays, the innermost with a 1
    return "{\"deep\": " + std::string(levels - 1, '[') + "1" + std::string(levels - 1, ']') + "}";
  };
  EXPECT_TRUE(CLIConfiguration::decode(nested(limit)).isEmpty());
  EXPECT_EQ(decodingFailure(nested(limit + 1)), "The JSON is nested more than 64 levels deep.");
  // Far beyond any stack: refused long before it could hurt.
  EXPECT_EQ(decodingFailure(std::string(1'000'000, '[')),
            "The JSON is nested more than 64 levels deep.");

  std::string large =
      "{\"padding\": \"" + std::string(CLIConfiguration::maximumDocumentSize, 'x') + "\"}";
  EXPECT_EQ(decodingFailure(large), "The file is larger than 1024 KB.");
  std::string justFits = "{\"padding\": \"\"}";
  justFits.insert(13, CLIConfiguration::maximumDocumentSize - justFits.size(), 'x');
  EXPECT_TRUE(CLIConfiguration::decode(justFits).isEmpty());
}

TEST(CLIConfigurationTest, EncodesSortedIndentedWithoutEscapingSlashes) {
  CLIConfiguration configuration;
  configuration.identity = "Developer ID Application: Zoë";
  configuration.apiKeyPath = "/Users/me/keys/AuthKey_ABC.p8";
  configuration.reversed = false;
  configuration.deepVerify = true;
  EXPECT_EQ(configuration.encoded(), "{\n"
                                     "  \"apiKeyPath\": \"/Users/me/keys/AuthKey_ABC.p8\",\n"
                                     "  \"deepVerify\": true,\n"
                                     "  \"identity\": \"Developer ID Application: Zoë\",\n"
                                     "  \"reversed\": false\n"
                                     "}\n");
  EXPECT_EQ(CLIConfiguration{}.encoded(), "{}\n");
  EXPECT_EQ(CLIConfiguration::decode(configuration.encoded()), configuration);

  configuration.output = "bad \xC0 bytes";
  EXPECT_THROW(configuration.encoded(), CLIConfiguration::CodingError);
}

TEST(CLIConfigurationTest, ValuesAsTextForEverySetting) {
  CLIConfiguration configuration;
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    EXPECT_EQ(configuration.value(setting.key), std::nullopt) << setting.key;
    // Each setting has its member of the right kind: booleans and counts normalise, text stays
    // verbatim.
    configuration.set(setting.wholeNumberRange ? " 07 " : " Yes ", setting.key);
    EXPECT_EQ(configuration.value(setting.key), setting.isBoolean()
                                                    ? std::optional<std::string>("true")
                                                : setting.wholeNumberRange ? "7"
                                                                           : " Yes ")
        << setting.key;
  }
  EXPECT_FALSE(configuration.isEmpty());
  EXPECT_EQ(configuration.value("config"), std::nullopt);

  configuration.set("maybe", "sign");
  EXPECT_EQ(configuration.sign, std::nullopt);
  configuration.set("off", "sign");
  EXPECT_EQ(configuration.value("sign"), "false");
  configuration.set(std::nullopt, "identity");
  EXPECT_EQ(configuration.identity, std::nullopt);
  configuration.set("ignored", "noSuchKey");
}

TEST(CLIConfigurationTest, MergeKeepsOldValuesThatTheNewOnesDoNotReplace) {
  CLIConfiguration saved;
  saved.identity = "old identity";
  saved.keychainProfile = "old profile";
  saved.notarize = true;
  CLIConfiguration update;
  update.keychainProfile = "new profile";
  update.notarize = false;
  update.window = "large";

  saved.merge(update);
  EXPECT_EQ(saved.identity, "old identity");
  EXPECT_EQ(saved.keychainProfile, "new profile");
  EXPECT_EQ(saved.notarize, false);
  EXPECT_EQ(saved.window, "large");
}

TEST(CLIConfigurationTest, ParseBoolWords) {
  for (const char* yes : {"1", "true", "YES", " on\n", "True"}) {
    EXPECT_EQ(CLIConfiguration::parseBool(yes), true) << yes;
  }
  for (const char* no : {"0", "false", "No", "\tOFF "}) {
    EXPECT_EQ(CLIConfiguration::parseBool(no), false) << no;
  }
  for (const char* neither : {"", "2", "y", "enabled", "t rue"}) {
    EXPECT_EQ(CLIConfiguration::parseBool(neither), std::nullopt) << neither;
  }
}

} // namespace
} // namespace bosun
