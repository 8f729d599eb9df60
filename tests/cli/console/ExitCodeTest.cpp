#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "cli/console/CLIError.hpp"
#include "cli/console/ExitCode.hpp"
#include "core/Notarization/ArtifactNotarizationCoordinatorError.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/CancellationError.hpp"

using namespace bosun;

TEST(ExitCode, NumbersNamesAndSummariesAreTheDocumentedOnes) {
  // Each row: number, name, summary, as documented in the exit-code table.
  struct Row {
    int number;
    const char* name;
    const char* summary;
  };
  const Row rows[] = {
      {0, "success", "Everything requested succeeded."},
      {1, "failure", "Unexpected error."},
      {2, "usage", "Invalid command, option or argument."},
      {3, "configuration",
       "Configuration missing or invalid. Run `bosun setup` or `bosun doctor`."},
      {4, "credentials", "Signing identity or notarization credentials missing or rejected."},
      {5, "input", "Input folder, app, template or output problem."},
      {10, "signing", "Code signing or signature verification failed."},
      {11, "notarization", "Apple notarization failed or was rejected."},
      {12, "stapling", "Stapling or staple validation failed."},
      {13, "build", "Building the DMG or PKG failed."},
      {14, "verification", "The file was checked and at least one check did not pass."},
      {20, "timeout", "A step took too long and was stopped."},
      {130, "cancelled", "Cancelled (Ctrl-C or SIGTERM)."},
  };
  ASSERT_EQ(kAllExitCodes.size(), std::size(rows));
  for (size_t i = 0; i < kAllExitCodes.size(); ++i) {
    SCOPED_TRACE(rows[i].name);
    EXPECT_EQ(exitCodeNumber(kAllExitCodes[i]), rows[i].number);
    EXPECT_EQ(exitCodeName(kAllExitCodes[i]), rows[i].name);
    EXPECT_EQ(exitCodeSummary(kAllExitCodes[i]), rows[i].summary);
    EXPECT_EQ(exitCodeFromNumber(rows[i].number), kAllExitCodes[i]);
  }
}

TEST(ExitCode, UnassignedNumbersGiveNoCode) {
  for (int number : {-1, 6, 7, 8, 9, 15, 19, 21, 129, 131, 255, 256}) {
    EXPECT_FALSE(exitCodeFromNumber(number).has_value()) << number;
  }
  EXPECT_FALSE(exitCodeFromNumber(130LL + (1LL << 32)).has_value());
}

namespace {
CLIError converted(const std::exception& error, ExitCode defaultCode = ExitCode::failure) {
  return CLIError::from(error, defaultCode);
}
} // namespace

TEST(CLIErrorFrom, KeepsAFrontEndErrorUnchanged) {
  const CLIError original(ExitCode::input, "No app found.", "Put one .app in the folder.");
  const CLIError result = converted(original, ExitCode::build);
  EXPECT_EQ(result.code(), ExitCode::input);
  EXPECT_EQ(result.message(), "No app found.");
  EXPECT_EQ(result.hint(), "Put one .app in the folder.");
}

TEST(CLIErrorFrom, CancellationBecomesCancelled) {
  const CLIError result = converted(halyard::CancellationError(), ExitCode::build);
  EXPECT_EQ(result.code(), ExitCode::cancelled);
  EXPECT_EQ(result.message(), "Cancelled.");
  EXPECT_FALSE(result.hint().has_value());
}

TEST(CLIErrorFrom, AnyErrorWhileASignalIsHandledBecomesCancelled) {
  auto& registry = halyard::ProcessRegistry::shared();
  registry.beginCancelling();
  const CLIError result = converted(std::runtime_error("codesign failed"), ExitCode::signing);
  const CLIError timedOut = converted(halyard::Error("Halyard.process", -2, "Timed out."));
  registry.endCancelling();
  EXPECT_EQ(result.code(), ExitCode::cancelled);
  EXPECT_EQ(result.message(), "Cancelled.");
  EXPECT_EQ(timedOut.code(), ExitCode::cancelled);
}

TEST(CLIErrorFrom, OnlyAProcessTimeOutBecomesTimeout) {
  const CLIError timedOut =
      converted(halyard::Error("Halyard.process", -2, "Timed out after 60 seconds."));
  EXPECT_EQ(timedOut.code(), ExitCode::timeout);
  EXPECT_EQ(timedOut.message(), "Timed out after 60 seconds.");

  // The same code in another domain, or another status of a tool run, keeps the default.
  EXPECT_EQ(converted(halyard::Error("Halyard.other", -2, "x"), ExitCode::build).code(),
            ExitCode::build);
  const CLIError notStarted =
      converted(halyard::Error("Halyard.process", -1, "Could not start."), ExitCode::signing);
  EXPECT_EQ(notStarted.code(), ExitCode::signing);
  EXPECT_EQ(notStarted.message(), "Could not start.");
  EXPECT_FALSE(notStarted.hint().has_value());
}

TEST(CLIErrorFrom, ArtifactNotarizationErrorsMapByCaseWithTheirDescription) {
  using Case = halyard::ArtifactNotarizationCoordinatorError::Case;
  const std::pair<Case, ExitCode> expected[] = {
      {Case::unsupportedArtifactType, ExitCode::input},
      {Case::missingArtifact, ExitCode::input},
      {Case::signingFailed, ExitCode::signing},
      {Case::notarizationFailed, ExitCode::notarization},
      {Case::staplingFailed, ExitCode::stapling},
      {Case::validationFailed, ExitCode::stapling},
      {Case::timeout, ExitCode::timeout},
  };
  for (const auto& [errorCase, code] : expected) {
    const halyard::ArtifactNotarizationCoordinatorError error(errorCase, "status: Invalid");
    const CLIError result = converted(error, ExitCode::build);
    EXPECT_EQ(result.code(), code);
    EXPECT_EQ(result.message(), error.description());
    EXPECT_FALSE(result.hint().has_value());
  }
}

TEST(CLIErrorFrom, ForeignExceptionsGetTheDefaultCode) {
  EXPECT_EQ(CLIError::from(std::make_exception_ptr(42), ExitCode::failure).message(),
            "Unexpected error.");
  const CLIError fromPointer =
      CLIError::from(std::make_exception_ptr(std::out_of_range("index 4")), ExitCode::input);
  EXPECT_EQ(fromPointer.code(), ExitCode::input);
  EXPECT_EQ(fromPointer.message(), "index 4");
  const CLIError wrapped = CLIError::from(
      std::make_exception_ptr(CLIError(ExitCode::usage, "Bad.", "Hint.")), ExitCode::failure);
  EXPECT_EQ(wrapped.code(), ExitCode::usage);
  EXPECT_EQ(wrapped.hint(), "Hint.");
}
