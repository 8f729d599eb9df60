// Credential validation against the stand-in notarytool: a profile in the stand-in keychain is
// accepted, an unknown one is refused with the tool's words, and a tool that fails silently gets
// the fixed explanation.
#include <gtest/gtest.h>

#include "core/Notarization/NotaryCredentials.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

TEST(NotaryCredentialsStandInTest, AcceptedOrRefusedWithAnExplanation) {
  bosun::testing::StandInRootInForce stand;
  stand.addProfile("release");
  const auto accepted = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_TRUE(accepted.valid);
  EXPECT_EQ(accepted.message, "Accepted by Apple");

  const auto missing = NotaryCredentials::keychainProfile("nobody").validate();
  EXPECT_FALSE(missing.valid);
  EXPECT_EQ(missing.message, "Error: No Keychain password item found for profile: nobody");

  stand.set("MACSIM_NOTARYTOOL_FAIL", "1");
  const auto silent = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_FALSE(silent.valid);
  EXPECT_EQ(silent.message, "notarytool could not use these credentials.");

  // No tool at all is a refusal with the runner's explanation, not an exception.
  stand.set("MACSIM_NOTARYTOOL_FAIL", "");
  std::filesystem::remove(stand.root() / "usr/bin/xcrun");
  const auto absent = NotaryCredentials::keychainProfile("release").validate();
  EXPECT_FALSE(absent.valid);
  EXPECT_NE(absent.message, "");
}

} // namespace
} // namespace halyard
