#include "cli/settings/ConfigurationResolver.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "cli/console/CLIError.hpp"
#include "core/Import/NestedSigningScheduler.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace bosun {
namespace {

namespace fs = std::filesystem;

class ConfigurationResolverTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder root{"ConfigurationResolverTest_"};
  fs::path home = root.path() / "home";
  fs::path project = root.path() / "project";
  fs::path userFile = home / ".config" / "bosun" / "config.json";
  Environment environment{{{"HOME", home.string()}}};

  void SetUp() override {
    fs::create_directories(userFile.parent_path());
    fs::create_directories(project);
  }

  static void write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }

  ConfigurationResolver resolve(const std::vector<std::string>& arguments,
                                std::optional<fs::path> folder = std::nullopt) {
    return ConfigurationResolver(ParsedArguments(arguments), folder, environment);
  }
  ConfigurationResolver resolveInProject(const std::vector<std::string>& arguments = {}) {
    return resolve(arguments, project);
  }

  CLIError failure(const std::vector<std::string>& arguments) {
    try {
      const ConfigurationResolver resolver = resolve(arguments, project);
      resolver.credentials();
    } catch (const CLIError& error) {
      return error;
    }
    return CLIError(ExitCode::success, "(resolved)");
  }

  static std::string describe(const ResolvedSetting& setting) {
    return setting.value.value_or("(unset)") + " from " + setting.source;
  }
};

TEST_F(ConfigurationResolverTest, DefaultsWhenNothingIsConfigured) {
  const auto resolver = resolveInProject();
  EXPECT_EQ(resolver.userConfigURL(), userFile);
  EXPECT_FALSE(resolver.hasUserConfiguration());
  EXPECT_EQ(resolver.projectConfigURL(), std::nullopt);
  ASSERT_EQ(resolver.settings().size(), SettingDefinition::all().size());
  for (const auto& [key, setting] : resolver.settings()) {
    EXPECT_EQ(setting.definition.key, key);
    EXPECT_EQ(setting.source, "default") << key;
    EXPECT_EQ(setting.value, setting.definition.defaultValue) << key;
  }
  EXPECT_EQ(resolver.format(), OutputKind::dmg);
  EXPECT_EQ(resolver.windowPreset(), InstallerWindowPreset::compact);
  EXPECT_EQ(resolver.compression(), halyard::DMGCompressionFormat::zlib);
  EXPECT_TRUE(resolver.boolean("sign"));
  EXPECT_TRUE(resolver.boolean("skipMissingTicket"));
  EXPECT_FALSE(resolver.boolean("deepVerify"));
  EXPECT_FALSE(resolver.boolean("identity"));
  EXPECT_EQ(resolver.credentials(), std::nullopt);
}

TEST_F(ConfigurationResolverTest, FirstSourceWithAValueWins) {
  write(userFile, R"({"identity": "user", "arrow": "user.arrow", "window": "small",
                      "keychainProfile": "user profile", "reversed": true})");
  write(project / "bosun.json", R"({"identity": "project", "arrow": "project.arrow"})");
  environment.variables["BOSUN_IDENTITY"] = "environment";

  const auto resolver = resolveInProject({"start", "--identity", "flag"});
  EXPECT_TRUE(resolver.hasUserConfiguration());
  EXPECT_EQ(resolver.projectConfigURL(), project / "bosun.json");
  EXPECT_EQ(describe(resolver.setting("identity")), "flag from --identity");
  EXPECT_EQ(describe(resolver.setting("arrow")), "project.arrow from bosun.json");
  EXPECT_EQ(describe(resolver.setting("window")), "small from user config");
  EXPECT_EQ(describe(resolver.setting("reversed")), "true from user config");
  EXPECT_EQ(describe(resolver.setting("compression")), "zlib from default");
  EXPECT_EQ(describe(resolveInProject().setting("identity")), "environment from $BOSUN_IDENTITY");
  EXPECT_EQ(resolveInProject().credentials(),
            halyard::NotaryCredentials::keychainProfile("user profile"));

  // Without a project folder the project file takes no part.
  EXPECT_EQ(describe(resolve({}).setting("arrow")), "user.arrow from user config");
}

TEST_F(ConfigurationResolverTest, OnAndOffFlags) {
  environment.variables["BOSUN_SIGN"] = "true";
  EXPECT_EQ(describe(resolveInProject({"--no-sign"}).setting("sign")), "false from --no-sign");
  EXPECT_FALSE(resolveInProject({"--no-sign"}).boolean("sign"));
  EXPECT_EQ(describe(resolveInProject({"--modern"}).setting("modernDiskTools")),
            "true from --modern");
  EXPECT_EQ(describe(resolveInProject({"--legacy"}).setting("modernDiskTools")),
            "false from --legacy");

  const CLIError both = failure({"--sign", "--no-sign"});
  EXPECT_EQ(both.code(), ExitCode::usage);
  EXPECT_EQ(both.message(), "--sign and --no-sign cannot be used together.");
  EXPECT_EQ(both.hint(), std::nullopt);
  EXPECT_EQ(failure({"--deep", "--no-deep"}).message(),
            "--deep and --no-deep cannot be used together.");
}

TEST_F(ConfigurationResolverTest, BooleanValuesAreCheckedButKeptAsWritten) {
  environment.variables["BOSUN_NOTARIZE"] = " on ";
  const auto resolver = resolveInProject();
  EXPECT_EQ(describe(resolver.setting("notarize")), "on from $BOSUN_NOTARIZE");
  EXPECT_TRUE(resolver.boolean("notarize"));

  environment.variables["BOSUN_SIGN"] = "maybe";
  const CLIError error = failure({});
  EXPECT_EQ(error.code(), ExitCode::configuration);
  EXPECT_EQ(error.message(), "Sign the app from $BOSUN_SIGN must be true or false, not \"maybe\".");
  EXPECT_EQ(error.hint(), std::nullopt);
}

TEST_F(ConfigurationResolverTest, EnumeratedValuesAreLowerCasedOrRefused) {
  environment.variables["BOSUN_FORMAT"] = "PKG";
  environment.variables["BOSUN_WINDOW"] = " Large\n";
  environment.variables["BOSUN_COMPRESSION"] = "LZMA";
  const auto resolver = resolveInProject();
  EXPECT_EQ(describe(resolver.setting("format")), "pkg from $BOSUN_FORMAT");
  EXPECT_EQ(resolver.format(), OutputKind::pkg);
  EXPECT_EQ(resolver.windowPreset(), InstallerWindowPreset::large);
  EXPECT_EQ(resolver.compression(), halyard::DMGCompressionFormat::lzma);

  environment.variables["BOSUN_FORMAT"] = "zip";
  CLIError error = failure({});
  EXPECT_EQ(error.code(), ExitCode::configuration);
  EXPECT_EQ(error.message(), "Output format from $BOSUN_FORMAT must be one of: dmg, pkg.");
  EXPECT_EQ(error.hint(), "Got \"zip\".");

  // Format codes are names the disk-image tool knows, not values of the setting.
  error = failure({"--format", "dmg", "--compression", "UDZO"});
  EXPECT_EQ(error.message(), "DMG compression from --compression must be one of: zlib, lzfse, "
                             "lzma.");
  EXPECT_EQ(error.hint(), "Got \"UDZO\".");
  write(project / "bosun.json", R"({"appBundle": "Notarise"})");
  error = failure({"--format", "dmg"});
  EXPECT_EQ(error.message(), "App bundle (notarize, staple or off) from bosun.json must be one "
                             "of: notarize, staple, off.");
  EXPECT_EQ(error.hint(), "Got \"Notarise\".");
}

// The wait for the notary's verdict: whole seconds from the flag, the environment or a JSON
// number in a file; anything else is refused rather than read as some other wait.
TEST_F(ConfigurationResolverTest, NotaryWaitIsWholeSeconds) {
  EXPECT_EQ(resolveInProject().notaryWait(), 900);
  write(project / "bosun.json", R"({"notaryWait": 3600})");
  EXPECT_EQ(describe(resolveInProject().setting("notaryWait")), "3600 from bosun.json");
  EXPECT_EQ(resolveInProject().notaryWait(), 3600);
  EXPECT_EQ(resolveInProject({"--notary-wait", "45"}).notaryWait(), 45);

  for (const char* value : {"90O", "-5", "0", "1.5", "604801"}) {
    const CLIError error = failure({"--notary-wait", value});
    EXPECT_EQ(error.code(), ExitCode::configuration) << value;
    EXPECT_EQ(error.message(), std::string("Notarization wait (seconds) from --notary-wait must be "
                                           "a whole number of seconds, not \"") +
                                   value + "\".");
  }
  write(project / "bosun.json", R"({"notaryWait": -1})");
  EXPECT_EQ(failure({}).code(), ExitCode::configuration);
}

TEST_F(ConfigurationResolverTest, SigningJobsAreAWholeNumberInRange) {
  EXPECT_EQ(resolveInProject().signingJobs(), halyard::NestedSigningScheduler::defaultJobs());
  write(project / "bosun.json", R"({"signingJobs": 3})");
  EXPECT_EQ(resolveInProject().signingJobs(), 3u);
  environment.variables["BOSUN_SIGNING_JOBS"] = " 64 ";
  EXPECT_EQ(resolveInProject().signingJobs(), 64u);
  EXPECT_EQ(describe(resolveInProject({"--jobs", "1"}).setting("signingJobs")), "1 from --jobs");

  for (const char* refused : {"0", "65", "-2", "+2", "two", "1.5", "99999999999"}) {
    const CLIError error = failure({"--jobs", refused});
    EXPECT_EQ(error.code(), ExitCode::configuration) << refused;
    EXPECT_EQ(error.message(), "Nested items signed at once from --jobs must be a whole number "
                               "from 1 to 64, not \"" +
                                   std::string(refused) + "\".");
  }
}

TEST_F(ConfigurationResolverTest, EmptyValuesHideLowerSourcesOnlyWhenGiven) {
  write(userFile, R"({"identity": "from the user file", "output": "  "})");
  environment.variables["BOSUN_IDENTITY"] = "";
  EXPECT_EQ(describe(resolveInProject().setting("identity")),
            "from the user file from user config");
  EXPECT_EQ(describe(resolveInProject({"--identity", ""}).setting("identity")),
            "(unset) from --identity");
  EXPECT_EQ(describe(resolveInProject({"--identity= \t"}).setting("identity")),
            "(unset) from --identity");
  EXPECT_EQ(describe(resolveInProject().setting("output")), "(unset) from user config");
  // A blank enumerated value is unset rather than refused, and then reads as the default case.
  EXPECT_EQ(resolveInProject({"--window", " "}).windowPreset(), InstallerWindowPreset::compact);
}

TEST_F(ConfigurationResolverTest, ProjectFiles) {
  write(project / ".bosun.json", R"({"deepVerify": true})");
  auto resolver = resolveInProject();
  EXPECT_EQ(resolver.projectConfigURL(), project / ".bosun.json");
  EXPECT_EQ(describe(resolver.setting("deepVerify")), "true from .bosun.json");

  // bosun.json is preferred; the hidden one is then not even read.
  write(project / ".bosun.json", "not JSON");
  write(project / "bosun.json", R"({"deepVerify": true})");
  resolver = resolveInProject();
  EXPECT_EQ(resolver.projectConfigURL(), project / "bosun.json");
  EXPECT_EQ(describe(resolver.setting("deepVerify")), "true from bosun.json");

  write(project / "bosun.json", R"({"deepVerify": "yes"})");
  const CLIError error = failure({});
  EXPECT_EQ(error.code(), ExitCode::configuration);
  EXPECT_EQ(error.message(), (project / "bosun.json").string() +
                                 " could not be read: \"deepVerify\" must be true or false.");
  EXPECT_EQ(error.hint(), "Fix the JSON or remove the file and run `bosun setup` again.");
}

TEST_F(ConfigurationResolverTest, UserFileLocationFollowsConfigFlagAndXDG) {
  const fs::path xdg = root.path() / "xdg";
  fs::create_directories(xdg / "bosun");
  write(xdg / "bosun" / "config.json", R"({"arrow": "xdg"})");
  write(home / "c.json", R"({"arrow": "override"})");
  environment.variables["XDG_CONFIG_HOME"] = xdg.string();

  auto resolver = resolveInProject();
  EXPECT_EQ(resolver.userConfigURL(), xdg / "bosun" / "config.json");
  EXPECT_EQ(resolver.value("arrow"), "xdg");
  resolver = resolveInProject({"--config", "~/c.json"});
  EXPECT_EQ(resolver.userConfigURL(), home / "c.json");
  EXPECT_EQ(resolver.value("arrow"), "override");

  // A file named with --config must exist: a missing one or a dangling link is an error naming it.
  fs::create_symlink(home / "gone.json", home / "dangling.json");
  for (const std::string name : {"missing.json", "dangling.json"}) {
    const CLIError missing = failure({"--config", "~/" + name});
    EXPECT_EQ(missing.code(), ExitCode::configuration);
    EXPECT_EQ(missing.message(),
              "The configuration file " + (home / name).string() + " does not exist.");
  }

  fs::create_directory(home / "folder.json");
  const CLIError error = failure({"--config", "~/folder.json"});
  EXPECT_EQ(error.code(), ExitCode::configuration);
  EXPECT_EQ(error.message(),
            (home / "folder.json").string() + " could not be read: Is a directory");
}

TEST_F(ConfigurationResolverTest, Credentials) {
  write(home / "AuthKey_X.p8", "key");
  write(userFile, R"({"keychainProfile": "profile"})");

  EXPECT_EQ(resolveInProject().credentials(),
            halyard::NotaryCredentials::keychainProfile("profile"));
  // An API key wins over the profile; "~" is expanded.
  EXPECT_EQ(resolveInProject({"--key", "~/AuthKey_X.p8", "--key-id", "X"}).credentials(),
            halyard::NotaryCredentials::apiKey((home / "AuthKey_X.p8").string(), "X"));
  environment.variables["BOSUN_API_ISSUER"] = "issuer-uuid";
  EXPECT_EQ(
      resolveInProject({"--key", "~/AuthKey_X.p8", "--key-id", "X"}).credentials(),
      halyard::NotaryCredentials::apiKey((home / "AuthKey_X.p8").string(), "X", "issuer-uuid"));

  CLIError error = failure({"--key", "k.p8"});
  EXPECT_EQ(error.code(), ExitCode::credentials);
  EXPECT_EQ(error.message(),
            "An App Store Connect API key needs both the key file and the key ID.");
  EXPECT_EQ(error.hint(),
            "Pass --key <AuthKey.p8> and --key-id <ID> (and --issuer <UUID> for team keys).");
  EXPECT_EQ(failure({"--key-id", "X"}).code(), ExitCode::credentials);

  error = failure({"--key", "~/AuthKey_Y.p8", "--key-id", "Y"});
  EXPECT_EQ(error.code(), ExitCode::credentials);
  EXPECT_EQ(error.message(), "The API key file was not found: " + (home / "AuthKey_Y.p8").string());
  EXPECT_EQ(error.hint(), std::nullopt);
}

} // namespace
} // namespace bosun
