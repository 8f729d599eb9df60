#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "BosunRun.hpp"

using bosun::testing::BosunSandbox;
using bosun::testing::RunResult;

namespace {

std::string helpFile(const std::string& name) {
  std::ifstream file(std::string(TEST_DATA_DIR) + "/help/" + name + ".txt", std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

const char* kCommandsHint =
    "  Commands: start, notarize, inspect, verify, doctor, setup, update, help\n";
const char* kTopicsHint =
    "  Topics: start, notarize, inspect, verify, doctor, setup, update, config, exit-codes\n";

class FrontDoor : public ::testing::Test {
protected:
  BosunSandbox sandbox;
};

} // namespace

TEST_F(FrontDoor, GeneralHelpWithoutArgumentsHelpAndDashDashHelp) {
  const std::string expected = helpFile("general") + "\n";
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {}, {"help"}, {"--help"}, {"-h"}, {"HELP"}, {"--HELP"}}) {
    const RunResult result = sandbox.run(arguments);
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_EQ(result.standardOutput, expected);
    EXPECT_EQ(result.standardError, "");
  }
}

TEST_F(FrontDoor, EveryCommandHasItsUsageText) {
  for (const std::string command :
       {"start", "notarize", "inspect", "verify", "doctor", "setup", "update"}) {
    SCOPED_TRACE(command);
    const std::string expected = helpFile(command) + "\n";
    const RunResult viaHelp = sandbox.run({"help", command});
    EXPECT_TRUE(viaHelp.exitedWith(0));
    EXPECT_EQ(viaHelp.standardOutput, expected);
    // `bosun COMMAND --help` shows the same text.
    const RunResult viaFlag = sandbox.run({command, "--help"});
    EXPECT_TRUE(viaFlag.exitedWith(0));
    EXPECT_EQ(viaFlag.standardOutput, expected);
  }
  // Command word and topic are matched lower-cased.
  EXPECT_EQ(sandbox.run({"HELP", "START"}).standardOutput, helpFile("start") + "\n");
}

TEST_F(FrontDoor, ExitCodeAndConfigurationHelpAreTheirFiles) {
  for (const auto& [topic, file] :
       std::vector<std::pair<std::string, std::string>>{{"exit-codes", "exit-codes"},
                                                        {"config", "config"},
                                                        {"configuration", "config"},
                                                        {"Config", "config"}}) {
    SCOPED_TRACE(topic);
    const RunResult result = sandbox.run({"help", topic});
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_EQ(result.standardOutput, helpFile(file) + "\n");
    EXPECT_EQ(result.standardError, "");
  }
}

TEST_F(FrontDoor, UnknownHelpTopicAndUnknownCommandAreUsageErrors) {
  const RunResult topic = sandbox.run({"help", "nosuch"});
  EXPECT_TRUE(topic.exitedWith(2));
  EXPECT_EQ(topic.standardOutput, "");
  EXPECT_EQ(topic.standardError, std::string("✗ No help for \"nosuch\".\n") + kTopicsHint);

  const RunResult command = sandbox.run({"Frobnicate", "x"});
  EXPECT_TRUE(command.exitedWith(2));
  EXPECT_EQ(command.standardOutput, "");
  EXPECT_EQ(command.standardError,
            std::string("✗ Unknown command \"Frobnicate\".\n") + kCommandsHint);
}

TEST_F(FrontDoor, VersionWinsOverHelp) {
  const std::regex versionLine(R"(Bosun \d+\.\d+\.\d+\n)");
  for (const auto& arguments : std::vector<std::vector<std::string>>{{"--version"},
                                                                     {"--version", "--help"},
                                                                     {"version"},
                                                                     {"VERSION"},
                                                                     {"start", "--version"}}) {
    const RunResult result = sandbox.run(arguments);
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_TRUE(std::regex_match(result.standardOutput, versionLine)) << result.standardOutput;
    EXPECT_EQ(result.standardError, "");
  }
}

TEST_F(FrontDoor, JSONModePrintsNoTextsAndErrorsAsJSONLines) {
  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {"--json", "--version"}, {"--json", "help"}, {"--json"}, {"help", "start", "--json"}}) {
    const RunResult result = sandbox.run(arguments);
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_EQ(result.standardError, "");
  }

  const RunResult unknown = sandbox.run({"--json", "x"});
  EXPECT_TRUE(unknown.exitedWith(2));
  EXPECT_EQ(unknown.standardError, "");
  ASSERT_TRUE(unknown.outputIsJSONLines()) << unknown.standardOutput;
  ASSERT_EQ(unknown.outputLines().size(), 1u);
  const auto event = nlohmann::json::parse(unknown.outputLines()[0]);
  EXPECT_EQ(event["event"], "error");
  EXPECT_EQ(event["class"], "usage");
  EXPECT_EQ(event["exitCode"], 2);
  EXPECT_EQ(event["message"], "Unknown command \"x\".");
  EXPECT_EQ(event["hint"],
            "Commands: start, notarize, inspect, verify, doctor, setup, update, help");

  const RunResult topic = sandbox.run({"--json", "help", "nosuch"});
  EXPECT_TRUE(topic.exitedWith(2));
  EXPECT_TRUE(topic.outputIsJSONLines());
  EXPECT_EQ(topic.outputLines().size(), 1u);
}

TEST_F(FrontDoor, CommandLineErrorsArePlainTextEvenWithJSON) {
  const RunResult result = sandbox.run({"--json", "--bogus"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardOutput, "");
  EXPECT_EQ(result.standardError,
            "✗ Unknown option --bogus.\n  Run `bosun help` for the list of options.\n");

  const RunResult group = sandbox.run({"-oq", "x"});
  EXPECT_TRUE(group.exitedWith(2));
  EXPECT_EQ(group.standardError, "✗ -o needs a value and must come last in a group.\n");
}

TEST_F(FrontDoor, ColoursOnlyOnATerminalAndNeverWithNoColor) {
  auto onTerminal = [&](std::vector<std::string> arguments,
                        std::map<std::string, std::string> environment) {
    auto options = sandbox.options(std::move(arguments));
    options.environment = std::move(environment);
    options.errorIsTerminal = true;
    return bosun::testing::runProgram(options);
  };
  const RunResult coloured = onTerminal({"frob"}, {});
  EXPECT_TRUE(coloured.exitedWith(2));
  EXPECT_EQ(coloured.standardError.rfind("\x1B[31;1m✗\x1B[0m Unknown command \"frob\".\n", 0), 0u)
      << coloured.standardError;

  // NO_COLOR counts even when empty; --no-color always.
  const RunResult emptyNoColor = onTerminal({"frob"}, {{"NO_COLOR", ""}});
  EXPECT_EQ(emptyNoColor.standardError.rfind("✗ Unknown command", 0), 0u);
  const RunResult flag = onTerminal({"--no-color", "frob"}, {});
  EXPECT_EQ(flag.standardError.rfind("✗ Unknown command", 0), 0u);

  // A pipe is not a terminal.
  EXPECT_EQ(sandbox.run({"frob"}).standardError.rfind("✗ Unknown command", 0), 0u);
}

TEST_F(FrontDoor, AClosedPipeEndsQuietly) {
  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"help"}, {"help", "start"}, {"--version"}}) {
    auto options = sandbox.options(arguments);
    options.closeStandardOutput = true;
    const RunResult result = bosun::testing::runProgram(options);
    EXPECT_EQ(result.signal, 0);
    EXPECT_TRUE(result.exitedWith(0));
    EXPECT_EQ(result.standardError, "");
  }
}

TEST_F(FrontDoor, MalformedUTF8ArgumentsAreReportedNotFatal) {
  const RunResult text = sandbox.run({"caf\xC3", "\xFF"});
  EXPECT_TRUE(text.exitedWith(2));
  EXPECT_EQ(text.standardError, std::string("✗ Unknown command \"caf\xC3\".\n") + kCommandsHint);

  const RunResult option = sandbox.run({"--\xFF\xFE"});
  EXPECT_TRUE(option.exitedWith(2));
  EXPECT_EQ(option.standardError.rfind("✗ Unknown option --\xFF\xFE.\n", 0), 0u);

  const RunResult json = sandbox.run({"--json", "caf\xC3"});
  EXPECT_TRUE(json.exitedWith(2));
  ASSERT_TRUE(json.outputIsJSONLines()) << json.standardOutput;
  EXPECT_EQ(nlohmann::json::parse(json.outputLines().at(0))["message"],
            "Unknown command \"caf\uFFFD\".");
}

TEST_F(FrontDoor, DoubleDashMakesEverythingPositional) {
  const RunResult result = sandbox.run({"--", "help", "--json"});
  EXPECT_TRUE(result.exitedWith(2));
  EXPECT_EQ(result.standardError, std::string("✗ No help for \"--json\".\n") + kTopicsHint);
}
