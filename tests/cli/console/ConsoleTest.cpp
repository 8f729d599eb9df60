#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "cli/CapturedConsole.hpp"
#include "support/ChildRun.hpp"

using bosun::CLIError;
using bosun::Console;
using bosun::ExitCode;
using Mark = bosun::Console::Mark;

namespace {
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    result.push_back(line);
  return result;
}
nlohmann::json onlyEvent(const std::string& output) {
  const auto all = lines(output);
  EXPECT_EQ(all.size(), 1u) << output;
  return all.empty() ? nlohmann::json() : nlohmann::json::parse(all.front());
}
} // namespace

TEST(ConsoleText, MarksAndStreams) {
  CapturedConsole captured;
  Console& console = captured.console;
  console.info("plain");
  console.step("Signing…");
  console.success("Done");
  console.warning("Careful");
  console.check("Gatekeeper", "accepted", Mark::passed);
  console.check("Staple", "", Mark::skipped);
  console.check("Notarized", "no ticket", Mark::failed);
  console.check("Timestamp", "missing", Mark::warning);
  console.failure(CLIError(ExitCode::usage, "Unknown command \"x\".", "Commands: start"));
  EXPECT_EQ(captured.output(), "");
  EXPECT_EQ(captured.error(), "plain\n"
                              "› Signing…\n"
                              "✓ Done\n"
                              "! Careful\n"
                              "✓ Gatekeeper - accepted\n"
                              "– Staple\n"
                              "✗ Notarized - no ticket\n"
                              "! Timestamp - missing\n"
                              "✗ Unknown command \"x\".\n"
                              "  Commands: start\n");
}

TEST(ConsoleText, ColouredMarks) {
  CapturedConsole captured;
  captured.console.configure(false, true, false, true);
  captured.console.step("s");
  captured.console.success("ok");
  captured.console.warning("w");
  captured.console.failure(CLIError(ExitCode::failure, "bad", "hint"));
  captured.console.check("label", "why", Mark::skipped);
  captured.console.detail("d");
  EXPECT_EQ(captured.error(), "\x1B[36m›\x1B[0m s\n"
                              "\x1B[37;1m✓\x1B[0m ok\n"
                              "\x1B[38;5;208;1m!\x1B[0m w\n"
                              "\x1B[31;1m✗\x1B[0m bad\n"
                              "  hint\n"
                              "\x1B[90m–\x1B[0m label\x1B[90m - why\x1B[0m\n"
                              "\x1B[90m  │ \x1B[0md\n");
}

TEST(ConsoleText, QuietKeepsWarningsFailuresChecksAndDetails) {
  CapturedConsole captured;
  captured.console.configure(false, true, true, false);
  captured.console.info("i");
  captured.console.step("s");
  captured.console.success("ok");
  captured.console.warning("w");
  captured.console.check("c", "", Mark::passed);
  captured.console.detail("d");
  captured.console.failure(CLIError(ExitCode::failure, "f"));
  captured.console.result("/out/App.dmg");
  EXPECT_EQ(captured.error(), "! w\n✓ c\n  │ d\n✗ f\n");
  EXPECT_EQ(captured.output(), "/out/App.dmg\n");
}

TEST(ConsoleText, DetailNeedsVerboseAndKeepsBlankLines) {
  CapturedConsole captured;
  captured.console.detail("hidden");
  EXPECT_EQ(captured.error(), "");
  captured.console.configure(false, true, false, false);
  captured.console.detail("a\n\nb");
  captured.console.detail("");
  EXPECT_EQ(captured.error(), "  │ a\n  │ \n  │ b\n  │ \n");
}

TEST(ConsoleText, RedactsMessagesButNotHintsLabelsOrResults) {
  CapturedConsole captured;
  captured.console.configure(false, true, false, false);
  captured.console.step("store -p abcd");
  captured.console.detail("$ /usr/bin/xcrun notarytool --password=abcd-efgh-ijkl-mnop");
  captured.console.check("pw abcd-efgh-ijkl-mnop", "pw abcd-efgh-ijkl-mnop", Mark::failed);
  captured.console.failure(
      CLIError(ExitCode::credentials, "Rejected --password x", "Try --password again"));
  // A result is the user's own path: a folder named like a password stays as it is.
  captured.console.result("/out/abcd-efgh-ijkl-mnop/-p x/App.dmg");
  EXPECT_EQ(captured.error(), "› store -p <redacted>\n"
                              "  │ $ /usr/bin/xcrun notarytool --password=<redacted>\n"
                              "✗ pw abcd-efgh-ijkl-mnop - pw <redacted>\n"
                              "✗ Rejected --password <redacted>\n"
                              "  Try --password again\n");
  EXPECT_EQ(captured.output(), "/out/abcd-efgh-ijkl-mnop/-p x/App.dmg\n");

  // A terminal gets a name's control characters made visible, a file the exact bytes.
  const std::string hostile = "/out/a\x1b]0;title\x07"
                              "b.dmg";
  captured.console.result(hostile);
  EXPECT_TRUE(captured.output().ends_with(hostile + "\n"));
  int terminal[2]; // our side, the console's side
  bosun::testing::detail::openTerminal(terminal);
  Console(terminal[1], terminal[1]).result(hostile);
  char shown[128] = {};
  EXPECT_EQ(std::string(shown, static_cast<size_t>(::read(terminal[0], shown, sizeof shown))),
            "/out/a\\x1b]0;title\\x07b.dmg\r\n");
  ::close(terminal[0]);
  ::close(terminal[1]);
}

TEST(ConsoleJSON, MessagesBecomeEventsOnStandardOutput) {
  CapturedConsole captured;
  captured.console.configure(true, false, false, true);
  captured.console.info("i");
  captured.console.step("s");
  captured.console.success("ok");
  captured.console.warning("w");
  captured.console.detail("hidden without verbose");
  captured.console.check("c", "d", Mark::failed);
  captured.console.result("/out/App.dmg");
  EXPECT_EQ(captured.error(), "");
  const auto all = lines(captured.output());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"info", "i"}, {"step", "s"}, {"info", "ok"}, {"warning", "w"}};
  ASSERT_EQ(all.size(), expected.size()) << captured.output();
  for (size_t i = 0; i < all.size(); ++i) {
    const auto event = nlohmann::json::parse(all[i]);
    EXPECT_EQ(event["event"], expected[i].first);
    EXPECT_EQ(event["message"], expected[i].second);
    EXPECT_EQ(event.size(), 3u) << all[i];
  }
}

TEST(ConsoleJSON, ErrorEventCarriesCodeClassAndHint) {
  CapturedConsole captured;
  captured.console.configure(true, false, true, false);
  captured.console.failure(CLIError(ExitCode::usage, "Unknown command \"x\".",
                                    "Commands: start, notarize, inspect, verify, doctor, setup, "
                                    "update, help"));
  const std::string line = lines(captured.output()).at(0);
  const std::regex shape(
      R"(\{"class":"usage","event":"error","exitCode":2,"hint":"Commands: start, notarize, )"
      R"(inspect, verify, doctor, setup, update, help","message":"Unknown command \\"x\\".",)"
      R"("time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ"\})");
  EXPECT_TRUE(std::regex_match(line, shape)) << line;

  CapturedConsole noHint;
  noHint.console.configure(true, false, false, false);
  noHint.console.failure(CLIError(ExitCode::cancelled, "Cancelled."));
  const auto event = onlyEvent(noHint.output());
  EXPECT_FALSE(event.contains("hint"));
  EXPECT_EQ(event["exitCode"], 130);
  EXPECT_EQ(event["class"], "cancelled");
}

TEST(ConsoleJSON, EventLineSortsKeysEverywhereAndKeepsSlashesAndUTF8) {
  nlohmann::json fields = {
      {"zeta", 1},
      {"path", "/Volumes/App/App.app"},
      {"nested", {{"b", "é ✓"}, {"a", nlohmann::json::array({{{"y", 1}, {"x", 2}}})}}},
      {"event", "overwritten"}};
  EXPECT_EQ(Console::eventLine("summary", fields, "2026-12-05T01:49:06Z"),
            R"({"event":"summary","nested":{"a":[{"x":2,"y":1}],"b":"é ✓"},)"
            R"("path":"/Volumes/App/App.app","time":"2026-12-05T01:49:06Z","zeta":1})");
  // Fields that are not an object count as none.
  EXPECT_EQ(Console::eventLine("info", nlohmann::json::array({1}), "T"),
            R"({"event":"info","time":"T"})");
}

TEST(ConsoleJSON, MalformedUTF8StillGivesValidJSON) {
  CapturedConsole captured;
  captured.console.configure(true, true, false, false);
  captured.console.warning("bad \xFF\xC3 bytes");
  captured.console.failure(CLIError(ExitCode::usage, "Unknown option --\xE9t\xE9.", "h\xFF"));
  captured.console.event("x\xFF", {{"k\xFE", "v\xC0"}});
  const auto all = lines(captured.output());
  ASSERT_EQ(all.size(), 3u);
  for (const auto& line : all) {
    EXPECT_TRUE(nlohmann::json::accept(line)) << line;
  }
  EXPECT_EQ(nlohmann::json::parse(all[0])["message"], "bad \uFFFD\uFFFD bytes");
}

TEST(ConsoleConcurrency, LinesFromManyThreadsNeverInterleave) {
  CapturedConsole captured;
  captured.console.configure(false, true, false, false);
  constexpr int kThreads = 8;
  constexpr int kLines = 400;
  // Long lines, so a split write would show.
  const std::string filler(3000, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kLines; ++i) {
        const std::string tag = std::to_string(t) + ":" + std::to_string(i) + ":";
        if (i % 2 == 0)
          captured.console.step(tag + filler);
        else
          captured.console.failure(CLIError(ExitCode::failure, tag + filler, tag + "hint"));
      }
    });
  }
  for (auto& thread : threads)
    thread.join();

  const auto all = lines(captured.error());
  ASSERT_EQ(all.size(), static_cast<size_t>(kThreads * kLines * 3 / 2));
  std::set<std::string> seen;
  for (size_t i = 0; i < all.size(); ++i) {
    const std::string& line = all[i];
    const bool isStep = line.rfind("› ", 0) == 0;
    const bool isFailure = line.rfind("✗ ", 0) == 0;
    ASSERT_TRUE(isStep || isFailure) << line.substr(0, 40);
    const std::string body = line.substr(line.find(' ') + 1);
    const std::string tag = body.substr(0, body.size() - filler.size());
    ASSERT_EQ(body.substr(tag.size()), filler);
    EXPECT_TRUE(seen.insert(tag).second);
    // A failure's hint follows it directly.
    if (isFailure) {
      ASSERT_LT(i + 1, all.size());
      EXPECT_EQ(all[i + 1], "  " + tag + "hint");
      ++i;
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
}
