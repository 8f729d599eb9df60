#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <unistd.h>

#include "cli/CLIError.hpp"
#include "cli/CheckLines.hpp"
#include "cli/CheckPayload.hpp"
#include "cli/Console.hpp"
#include "cli/ParsedArguments.hpp"
#include "cli/VerifyCommand.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace bosun;
using halyard::ReleaseCheck;
using halyard::ReleaseCheckResult;
using halyard::ReleaseCheckStatus;

namespace {

class VerifyArguments : public ::testing::Test {
protected:
  halyard::TemporaryFolder folder{"VerifyArguments_"};

  std::string touch(const std::string& name) {
    const auto path = folder.path() / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path.string();
  }

  static VerifyCommand::Target target(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "verify");
    return VerifyCommand::checkedTarget(ParsedArguments(arguments));
  }

  // The CLIError the arguments raise.
  static CLIError errorFor(std::vector<std::string> arguments) {
    try {
      target(std::move(arguments));
    } catch (const CLIError& error) {
      return error;
    }
    ADD_FAILURE() << "no error raised";
    return CLIError(ExitCode::success, "");
  }
};

} // namespace

TEST_F(VerifyArguments, NeedsExactlyOneFile) {
  for (const auto& arguments : {std::vector<std::string>{}, {touch("a.dmg"), touch("b.dmg")}}) {
    const auto error = errorFor(arguments);
    EXPECT_EQ(error.code(), ExitCode::usage);
    EXPECT_EQ(error.message(), "verify needs one .app, .dmg or .pkg.");
    EXPECT_EQ(error.hint(), "Example: bosun verify MyApp.dmg");
  }
}

TEST_F(VerifyArguments, ChecksExistenceThenExtensionThenDeep) {
  const auto missing = (folder.path() / "gone.txt").string();
  auto error = errorFor({missing, "--deep"});
  EXPECT_EQ(error.code(), ExitCode::input);
  EXPECT_EQ(error.message(), missing + " does not exist.");
  EXPECT_EQ(error.hint(), std::nullopt);

  error = errorFor({touch("notes.txt"), "--deep"});
  EXPECT_EQ(error.code(), ExitCode::input);
  EXPECT_EQ(error.message(), "verify works with .app, .dmg and .pkg files.");
  EXPECT_EQ(error.hint(), std::nullopt);

  for (const auto* name : {"X.dmg", "X.pkg"}) {
    error = errorFor({"--deep", touch(name)});
    EXPECT_EQ(error.code(), ExitCode::usage);
    EXPECT_EQ(error.message(), "--deep only applies to an .app.");
  }
}

TEST_F(VerifyArguments, KindComesFromTheExtensionInAnyCase) {
  EXPECT_EQ(target({touch("APP.DMG")}).kind, ReleaseCheck::Kind::dmg);
  EXPECT_EQ(target({touch("Tool.Pkg")}).kind, ReleaseCheck::Kind::pkg);

  std::filesystem::create_directories(folder.path() / "My App.app");
  const auto app = target({(folder.path() / "My App.app/").string(), "--deep"});
  EXPECT_EQ(app.kind, ReleaseCheck::Kind::app);
  EXPECT_TRUE(app.deep);
  EXPECT_EQ(app.fileName, "My App.app");
}

TEST(CheckPayload, PassedIsTextAndFailedIsAnObjectWithTheReason) {
  const ReleaseCheckResult result{"My App.dmg", ReleaseCheckStatus::passed(),
                                  ReleaseCheckStatus::failed("Gatekeeper rejects it"),
                                  ReleaseCheckStatus::failed("No ticket stapled")};
  EXPECT_EQ(checkPayload(result).dump(),
            R"({"file":"My App.dmg","notarization":{"failed":"Gatekeeper rejects it"},)"
            R"("signing":"passed","stapling":{"failed":"No ticket stapled"}})");
}

TEST(CheckLines, OneLinePerCheckAndOneProblemPerFailure) {
  std::FILE* errors = std::tmpfile();
  std::FILE* output = std::tmpfile();
  Console console(::fileno(output), ::fileno(errors));
  const ReleaseCheckResult result{"X.app", ReleaseCheckStatus::failed("Not signed"),
                                  ReleaseCheckStatus::passed(),
                                  ReleaseCheckStatus::failed("No ticket stapled")};
  EXPECT_EQ(printCheckLines(console, result),
            (std::vector<std::string>{"Signing: Not signed", "Stapling: No ticket stapled"}));

  std::rewind(errors);
  std::string written;
  for (int c; (c = std::fgetc(errors)) != EOF;)
    written.push_back(static_cast<char>(c));
  EXPECT_EQ(written, "✗ Signing - Not signed\n✓ Notarization\n✗ Stapling - No ticket stapled\n");
  EXPECT_EQ(std::ftell(output), 0);
  std::fclose(errors);
  std::fclose(output);
}
