#include <gtest/gtest.h>

#include "cli/commands/HelpCommand.hpp"

using bosun::ConfigurationHelpRow;
using bosun::HelpCommand;

TEST(HelpCommand, ConfigurationTextPadsKeysAndVariablesWithoutCuttingThem) {
  const std::vector<ConfigurationHelpRow> rows = {
      {"identity", "BOSUN_IDENTITY", "Developer ID Application"},
      {"skipMissingTicket", "BOSUN_SKIP_MISSING_TICKET", "Skip the app if Apple has no ticket"},
      {"aVeryLongKeyBeyondEighteen", "BOSUN_X", "Long"},
  };
  EXPECT_EQ(HelpCommand::configurationText(rows),
            "Settings come from, in this order (first one wins):\n"
            "  1. command-line flags\n"
            "  2. environment variables\n"
            "  3. bosun.json in the project folder\n"
            "  4. the user config (~/.config/bosun/config.json, or $XDG_CONFIG_HOME/bosun)\n"
            "  5. built-in defaults\n"
            "\n"
            "Keys and environment variables:\n"
            "  identity           BOSUN_IDENTITY             Developer ID Application\n"
            "  skipMissingTicket  BOSUN_SKIP_MISSING_TICKET  Skip the app if Apple has no ticket\n"
            "  aVeryLongKeyBeyondEighteen BOSUN_X                    Long\n"
            "\n"
            "`bosun doctor` shows the value and source of every setting.");
}

TEST(HelpCommand, TopicsAreMatchedLowerCased) {
  EXPECT_EQ(HelpCommand::text(std::nullopt), HelpCommand::generalText());
  EXPECT_EQ(HelpCommand::text("EXIT-CODES"), HelpCommand::exitCodeText());
  EXPECT_EQ(HelpCommand::text("Configuration"), HelpCommand::text("config"));
  EXPECT_EQ(HelpCommand::text("Verify")->rfind("Usage: bosun verify <file.app", 0), 0u);
  for (const char* unknown : {"help", "exit_codes", "", "starts", "\xFF"}) {
    EXPECT_FALSE(HelpCommand::text(std::string(unknown)).has_value()) << unknown;
  }
}
