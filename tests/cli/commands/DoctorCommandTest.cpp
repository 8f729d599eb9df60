#include <gtest/gtest.h>

#include "cli/commands/DoctorCommand.hpp"

using bosun::Console;
using bosun::DoctorCommand;
using bosun::ExitCode;
using halyard::DeveloperToolLocation;
using halyard::KeychainStatus;
using halyard::ToolProcessResult;

namespace {

// Outcomes the stand-ins cannot produce in a test's time: tools that hang past doctor's limits,
// and tools that fail without a word.
TEST(DoctorCommandTest, TimedOutAndSilentToolsBecomeFindingsThatNameThem) {
  const ToolProcessResult timedOut{ToolProcessResult::timedOutStatus, "",
                                   "Timed out after 30 seconds."};
  EXPECT_EQ(DoctorCommand::developerToolFinding("stapler", DeveloperToolLocation::read(timedOut)),
            (DoctorCommand::Finding{
                "tools", "stapler", Console::Mark::failed,
                "xcrun --find stapler gave no answer within 30 seconds and was stopped.",
                ExitCode::timeout}));
  EXPECT_EQ(DoctorCommand::keychainFinding(KeychainStatus::parse(timedOut)),
            (DoctorCommand::Finding{
                "identities", "Keychain", Console::Mark::failed,
                "security show-keychain-info gave no answer within 30 seconds and was stopped.",
                ExitCode::timeout}));

  // Exit 0 with nothing printed is no path to a tool.
  EXPECT_EQ(
      DoctorCommand::developerToolFinding("notarytool", DeveloperToolLocation::read({0, " \n", ""}))
          .code,
      ExitCode::configuration);
  // Settings may follow the name on the line.
  EXPECT_EQ(DoctorCommand::keychainFinding(
                KeychainStatus::parse(
                    {0, "",
                     "Keychain \"/Users/a/Library/Keychains/login.keychain-db\" lock-on-sleep "
                     "timeout=300s salt=\"x\"\n"}))
                .detail,
            "unlocked (/Users/a/Library/Keychains/login.keychain-db)");
  EXPECT_EQ(DoctorCommand::keychainFinding(KeychainStatus::parse({51, "", ""})).detail,
            "security show-keychain-info ended with status 51. codesign would wait for a password "
            "prompt that never comes in CI; unlock the keychain first (security "
            "unlock-keychain).");
  EXPECT_EQ(DoctorCommand::keychainFinding(
                KeychainStatus::parse({ToolProcessResult::launchFailedStatus, "",
                                       "Could not start /usr/bin/security: No such file."}))
                .detail,
            "Could not start /usr/bin/security: No such file.");
}

TEST(DoctorCommandTest, IdentityNamesMatchIgnoringCaseBeyondASCII) {
  const std::vector<std::string> installed{"Developer ID Application: Jörg Müller (A1B2C3D4E5)"};
  EXPECT_EQ(
      DoctorCommand::identityFinding("Developer ID Application", "JÖRG MÜLLER", installed, true)
          .mark,
      Console::Mark::passed);
}

} // namespace
