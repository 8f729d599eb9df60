// Credential validation against the stand-in notarytool (an unknown profile, refused with the
// tool's words: DoctorE2E); a tool that fails silently gets the fixed explanation.
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
