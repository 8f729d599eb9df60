#include <gtest/gtest.h>

#include "BosunRun.hpp"

namespace {

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;

TEST(ConfigurationHelp, ListsEverySettingWithItsVariable) {
  BosunSandbox sandbox;
  const RunResult result = sandbox.run({"help", "config"});
  EXPECT_TRUE(result.exitedWith(0));
  EXPECT_EQ(result.standardError, "");
  EXPECT_EQ(result.standardOutput,
            "Settings come from, in this order (first one wins):\n"
            "  1. command-line flags\n"
            "  2. environment variables\n"
            "  3. bosun.json in the project folder\n"
            "  4. the user config (~/.config/bosun/config.json, or $XDG_CONFIG_HOME/bosun)\n"
            "  5. built-in defaults\n"
            "\n"
            "Keys and environment variables:\n"
            "  identity           BOSUN_IDENTITY             Developer ID Application\n"
            "  installerIdentity  BOSUN_INSTALLER_IDENTITY   Developer ID Installer\n"
            "  keychainProfile    BOSUN_KEYCHAIN_PROFILE     Notary keychain profile\n"
            "  apiKeyPath         BOSUN_API_KEY_PATH         API key file (.p8)\n"
            "  apiKeyID           BOSUN_API_KEY_ID           API key ID\n"
            "  apiIssuer          BOSUN_API_ISSUER           API issuer ID\n"
            "  format             BOSUN_FORMAT               Output format\n"
            "  output             BOSUN_OUTPUT               Output location\n"
            "  window             BOSUN_WINDOW               DMG window size\n"
            "  compression        BOSUN_COMPRESSION          DMG compression\n"
            "  arrow              BOSUN_ARROW                DMG arrow symbol\n"
            "  sign               BOSUN_SIGN                 Sign the app\n"
            "  notarize           BOSUN_NOTARIZE             Notarize and staple\n"
            "  notarizeApp        BOSUN_NOTARIZE_APP         Notarize the app bundle first\n"
            "  appBundle          BOSUN_APP_BUNDLE           App bundle (notarize, staple or off)\n"
            "  skipMissingTicket  BOSUN_SKIP_MISSING_TICKET  Skip the app if Apple has no ticket\n"
            "  deepVerify         BOSUN_DEEP                 Deep signature verification\n"
            "  modernDiskTools    BOSUN_MODERN_DISK_TOOLS    Modern disk image tools\n"
            "  reversed           BOSUN_REVERSED             Reversed DMG layout\n"
            "\n"
            "`bosun doctor` shows the value and source of every setting.\n");
}

} // namespace
