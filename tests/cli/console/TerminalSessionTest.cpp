#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "cli/CapturedConsole.hpp"
#include "cli/console/TerminalSession.hpp"

using bosun::TerminalSession;

namespace {
// A session answering from `input`, with its prompts captured.
struct Session {
  explicit Session(const std::string& input) : stream(input), session(stream, captured.console) {}
  std::istringstream stream;
  CapturedConsole captured;
  TerminalSession session;
};
} // namespace

TEST(TerminalSession, ConfirmReadsTheFirstLetterAndFallsBackToTheDefault) {
  Session yes("Yes please\n");
  EXPECT_TRUE(yes.session.confirm("Overwrite?", false));
  EXPECT_EQ(yes.captured.error(), "Overwrite? [y/N]: ");

  Session no("no\n");
  EXPECT_FALSE(no.session.confirm("Overwrite?", true));
  EXPECT_EQ(no.captured.error(), "Overwrite? [Y/n]: ");

  Session answers("\n  \t\nY\n  yep  \nx\n");
  EXPECT_TRUE(answers.session.confirm("q", true));   // empty line: the default
  EXPECT_FALSE(answers.session.confirm("q", false)); // blanks only: the default
  EXPECT_TRUE(answers.session.confirm("q", false));
  EXPECT_TRUE(answers.session.confirm("q", false));
  EXPECT_FALSE(answers.session.confirm("q", true));
  // End of input: the default.
  EXPECT_TRUE(answers.session.confirm("q", true));
  EXPECT_FALSE(answers.session.confirm("q", false));
}

TEST(TerminalSession, AskTrimsAndUsesTheDefaultForAnEmptyAnswer) {
  Session session("  My Identity \r\n\n\nlast without newline");
  EXPECT_EQ(session.session.ask("Identity"), "My Identity");
  EXPECT_EQ(session.session.ask("Format", std::string("dmg")), "dmg");
  EXPECT_EQ(session.session.ask("Profile"), std::nullopt);
  EXPECT_EQ(session.session.ask("Other"), "last without newline");
  EXPECT_EQ(session.session.ask("Gone", std::string("d")), std::nullopt); // end of input
  EXPECT_EQ(session.captured.error(), "Identity: Format [dmg]: Profile: Other: Gone [d]: ");
  EXPECT_EQ(session.captured.output(), "");
}

TEST(TerminalSession, ChooseAsksAgainUntilTheNumberIsInRange) {
  Session session("4\nzero\n0\n-1\n+2\n");
  EXPECT_EQ(session.session.choose("Which identity?", {"A", "B", "C"}, 0), 1u);
  const std::string again = "Please type a number from 1 to 3.\n";
  EXPECT_EQ(session.captured.error(), "Which identity?\n  1. A\n  2. B\n  3. C\n"
                                      "Choose 1-3 [1]: " +
                                          again + "Choose 1-3 [1]: " + again + "Choose 1-3 [1]: " +
                                          again + "Choose 1-3 [1]: " + again + "Choose 1-3 [1]: ");
}

TEST(TerminalSession, ChooseDefaultsEndOfInputAndNoOptions) {
  Session empty("\n");
  EXPECT_EQ(empty.session.choose("q", {"a", "b"}, 1), 1u);

  Session ended("4\n");
  EXPECT_EQ(ended.session.choose("q", {"a", "b", "c"}, 0), std::nullopt);
  EXPECT_NE(ended.captured.error().find("Please type a number from 1 to 3.\n"), std::string::npos);

  Session none("1\n");
  EXPECT_EQ(none.session.choose("q", {}, 0), std::nullopt);
  EXPECT_EQ(none.captured.error(), "");

  Session huge("99999999999999999999999\n");
  EXPECT_EQ(huge.session.choose("q", {"a"}, 0), std::nullopt);
}

TEST(TerminalSession, InteractiveOnlyOnTwoTerminalsOutsideCIAndRemoteLogins) {
  const auto nothingSet = [](const char*) { return false; };
  EXPECT_TRUE(TerminalSession::isInteractive(true, true, nothingSet));
  EXPECT_FALSE(TerminalSession::isInteractive(false, true, nothingSet));
  EXPECT_FALSE(TerminalSession::isInteractive(true, false, nothingSet));
  for (const std::string variable :
       {"SSH_CONNECTION", "SSH_TTY", "CI", "GITHUB_ACTIONS", "BUILDKITE"}) {
    EXPECT_FALSE(TerminalSession::isInteractive(true, true, [&](const char* name) {
      return variable == name;
    })) << variable;
  }
}
