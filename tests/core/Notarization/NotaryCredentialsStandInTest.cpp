// Credential validation against the stand-in notarytool: a profile in the stand-in keychain is
// accepted, an unknown one is refused with the tool's words, and a tool that fails silently gets
// the fixed explanation.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/Notarization/NotaryCredentials.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/TemporaryFolder.hpp"

namespace halyard {
namespace {

class NotaryCredentialsStandInTest : public ::testing::Test {
protected:
  TemporaryFolder root{"NotaryCredentialsStandIn_"};

  void SetUp() override {
    ::unsetenv("BOSUN_TOOL_ROOT"); // macsim itself is not a platform tool
    CoreCommand::run(MACSIM_BINARY, {"init", root.path().string()}, 60);
    CoreCommand::run(MACSIM_BINARY, {"profile", "add", "release", "--root", root.path().string()},
                     60);
    ::setenv("BOSUN_TOOL_ROOT", root.path().c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("BOSUN_TOOL_ROOT");
    ::unsetenv("MACSIM_NOTARYTOOL_FAIL");
  }
};

TEST_F(NotaryCredentialsStandInTest, StoredProfileIsAccepted) {
  const auto validation = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_TRUE(validation.valid);
  EXPECT_EQ(validation.message, "Accepted by Apple");
}

TEST_F(NotaryCredentialsStandInTest, MissingProfileIsRefusedWithTheToolsExplanation) {
  const auto validation = NotaryCredentials::keychainProfile("nobody").validate();
  EXPECT_FALSE(validation.valid);
  EXPECT_EQ(validation.message, "Error: No Keychain password item found for profile: nobody");
}

TEST_F(NotaryCredentialsStandInTest, SilentFailureGetsTheFixedExplanation) {
  ::setenv("MACSIM_NOTARYTOOL_FAIL", "1", 1);
  const auto validation = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_FALSE(validation.valid);
  EXPECT_EQ(validation.message, "notarytool could not use these credentials.");

  // No tool at all is a refusal with the runner's explanation, not an exception.
  ::unsetenv("MACSIM_NOTARYTOOL_FAIL");
  std::filesystem::remove(root.path() / "usr/bin/xcrun");
  const auto missing = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_FALSE(missing.valid);
  EXPECT_NE(missing.message, "");
}

} // namespace
} // namespace halyard
