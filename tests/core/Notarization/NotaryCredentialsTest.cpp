#include "core/Notarization/NotaryCredentials.hpp"

#include <gtest/gtest.h>

namespace halyard {
namespace {

using Strings = std::vector<std::string>;

TEST(NotaryCredentialsTest, ArgumentsForNotarytool) {
  EXPECT_EQ(NotaryCredentials::keychainProfile("release").arguments(),
            (Strings{"--keychain-profile", "release"}));

  // The issuer is left out when absent or empty, so team-less keys give exactly four arguments.
  EXPECT_EQ(NotaryCredentials::apiKey("/keys/AuthKey.p8", "ABC123").arguments(),
            (Strings{"--key", "/keys/AuthKey.p8", "--key-id", "ABC123"}));
  EXPECT_EQ(NotaryCredentials::apiKey("/keys/AuthKey.p8", "ABC123", "").arguments(),
            (Strings{"--key", "/keys/AuthKey.p8", "--key-id", "ABC123"}));
  const Strings withIssuer = NotaryCredentials::apiKey("k.p8", "ID", "0000-1111").arguments();
  ASSERT_EQ(withIssuer.size(), 6u);
  EXPECT_EQ(withIssuer[4], "--issuer");
  EXPECT_EQ(withIssuer[5], "0000-1111");
}

TEST(NotaryCredentialsTest, DisplayNameAndEmptiness) {
  EXPECT_EQ(NotaryCredentials::keychainProfile("AC notary").displayName(),
            "keychain profile \"AC notary\"");
  EXPECT_EQ(NotaryCredentials::apiKey("k.p8", "ABC123", "x").displayName(),
            "App Store Connect API key ABC123");

  EXPECT_TRUE(NotaryCredentials::keychainProfile("  ").isEmpty());
  EXPECT_TRUE(NotaryCredentials::keychainProfile("\n\t").isEmpty());
  EXPECT_FALSE(NotaryCredentials::keychainProfile(" p ").isEmpty());
  // A key is only checked for presence, not trimmed.
  EXPECT_FALSE(NotaryCredentials::apiKey("k.p8", "  ").isEmpty());
  EXPECT_TRUE(NotaryCredentials::apiKey("", "ID").isEmpty());
  EXPECT_TRUE(NotaryCredentials::apiKey("k.p8", "").isEmpty());
}

} // namespace
} // namespace halyard
