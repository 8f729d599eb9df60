#include "cli/commands/VerifyCommand.hpp"

#include <algorithm>
#include <cctype>

#include "cli/commands/InputFile.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/CheckLines.hpp"
#include "cli/console/CheckPayload.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

VerifyCommand::Target VerifyCommand::checkedTarget(const ParsedArguments& parsed) {
  if (parsed.positionals.size() != 1)
    throw CLIError(ExitCode::usage, "verify needs one .app, .dmg or .pkg.",
                   "Example: bosun verify MyApp.dmg");

  const auto& typed = parsed.positionals.front();
  // "MyApp.app/" (as a shell completes a bundle) names the same file as "MyApp.app".
  const auto path = commandLinePath(typed);
  InputFile::requireExisting(typed, path, typed);

  const auto extension = halyard::text::lowercasedASCII(path.extension().string());
  halyard::ReleaseCheck::Kind kind;
  if (extension == ".app")
    kind = halyard::ReleaseCheck::Kind::app;
  else if (extension == ".dmg")
    kind = halyard::ReleaseCheck::Kind::dmg;
  else if (extension == ".pkg")
    kind = halyard::ReleaseCheck::Kind::pkg;
  else
    throw CLIError(ExitCode::input, "verify works with .app, .dmg and .pkg files.");

  if (kind != halyard::ReleaseCheck::Kind::app) InputFile::requireReadableFile(path, typed);

  const bool deep = parsed.hasFlag("deep");
  if (deep && kind != halyard::ReleaseCheck::Kind::app)
    throw CLIError(ExitCode::usage, "--deep only applies to an .app.");

  return Target{path, path.filename().string(), kind, deep};
}

ExitCode VerifyCommand::run(const ParsedArguments& parsed) {
  const auto target = checkedTarget(parsed);
  auto& console = Console::shared();
  // The tools get an absolute path, so a file name that begins with "-" is never read as an
  // option.
  const auto toolPath = std::filesystem::absolute(target.path);

  std::vector<std::string> problems;
  std::optional<std::string> deepResult;
  if (target.deep) {
    console.step("Verifying the signature (deep, strict)…");
    const auto result = halyard::CodeSign::deepVerify(toolPath, deepVerificationTimeLimit);
    // Tools stopped by a cancellation fail: what they say is no finding.
    SignalHandler::shared().waitWhileHandling();
    switch (result.kind()) {
    case halyard::DeepVerificationResult::Kind::passed:
      console.check("Deep signature verification", "", Console::Mark::passed);
      deepResult = "passed";
      break;
    case halyard::DeepVerificationResult::Kind::failed:
      console.check("Deep signature verification", result.failureText(), Console::Mark::failed);
      problems.push_back("Deep verification: " + result.failureText());
      deepResult = "failed";
      break;
    case halyard::DeepVerificationResult::Kind::timedOut:
      console.failure(
          CLIError(ExitCode::timeout, "Deep verification took too long and was stopped."));
      return ExitCode::timeout;
    }
  }

  console.step("Checking signing, notarization and stapling…");
  auto checks = halyard::ReleaseCheck::run(toolPath, target.kind);
  SignalHandler::shared().waitWhileHandling();
  checks.fileName = target.fileName;
  for (auto& problem : printCheckLines(console, checks))
    problems.push_back(std::move(problem));

  const auto code = problems.empty() ? ExitCode::success : ExitCode::verification;
  if (console.isJSON()) {
    auto summary = checkPayload(checks);
    summary["exitCode"] = exitCodeNumber(code);
    summary["class"] = std::string(exitCodeName(code));
    summary["problems"] = problems;
    if (deepResult) summary["deep"] = *deepResult;
    console.event("summary", Redactor::redact(std::move(summary), {"file"}));
  } else if (problems.empty()) {
    console.result(halyard::text::printable(target.fileName) + ": all checks passed");
  } else {
    console.result(halyard::text::printable(target.fileName) + ": " +
                   std::to_string(problems.size()) + " check(s) did not pass");
  }
  return code;
}

} // namespace bosun
