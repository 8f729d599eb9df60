#include "core/Signing/CodeSign.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr const char* preserveMetadata = "--preserve-metadata=identifier,entitlements,flags";

std::vector<std::string> signArguments(CodeSign::Signature signature, const std::string& identity,
                                       const std::filesystem::path& path) {
  using S = CodeSign::Signature;
  std::vector<std::string> arguments;
  switch (signature) {
  case S::plain:
    arguments = {"--force", "--sign", identity};
    break;
  case S::app:
  case S::appDeep:
    arguments = {"--force",        "--options", "runtime", "--timestamp",
                 preserveMetadata, "--sign",    identity};
    if (signature == S::appDeep) arguments.emplace_back("--deep");
    break;
  case S::preparation:
  case S::preparationWithoutRuntime:
    arguments = {"--force", "--sign", identity, "--timestamp"};
    if (signature == S::preparation) arguments.insert(arguments.end(), {"--options", "runtime"});
    arguments.emplace_back(preserveMetadata);
    break;
  }
  arguments.push_back(path.string());
  return arguments;
}

std::vector<std::string> verifyArguments(CodeSign::Check check, const std::filesystem::path& path) {
  using C = CodeSign::Check;
  switch (check) {
  case C::plain:
    return {"--verify", "--verbose=2", path.string()};
  case C::strict:
    return {"--verify", "--strict", "--verbose=2", path.string()};
  case C::deep:
    return {"--verify", "--deep", "--strict", path.string()};
  case C::deepVerbose:
    break;
  }
  return {"--verify", "--deep", "--strict", "--verbose=4", path.string()};
}

ToolRun shared(double timeout) {
  return {AppleTools::Runner::shared, timeout};
}

} // namespace

bool CodeSign::Verification::notSigned() const {
  return text::containsIgnoringCase(text(), "not signed at all");
}

ToolProcessResult CodeSign::sign(Signature signature, const std::string& identity,
                                 const std::filesystem::path& path, const ToolRun& run) {
  return run(AppleTools::codesign, signArguments(signature, identity, path));
}

CodeSign::Verification CodeSign::verify(Check check, const std::filesystem::path& path,
                                        const ToolRun& run) {
  return {run(AppleTools::codesign, verifyArguments(check, path))};
}

CodeSign::Verification CodeSign::verifyRequirement(const std::string& requirement,
                                                   const std::filesystem::path& path,
                                                   const ToolRun& run) {
  return {run(AppleTools::codesign, {"--verify", "--strict", "-R", requirement, path.string()})};
}

CodeSignDetails CodeSign::details(const std::filesystem::path& path, const ToolRun& run,
                                  DetailsForm form) {
  std::vector<std::string> arguments;
  if (form.abbreviated)
    arguments = {"-d" + std::string(static_cast<std::size_t>(std::max(form.verbosity, 1)), 'v')};
  else
    arguments = {"-dv", "--verbose=" + std::to_string(form.verbosity)};
  arguments.push_back(path.string());
  return CodeSignDetails::from(run(AppleTools::codesign, arguments));
}

ToolProcessResult CodeSign::entitlements(const std::filesystem::path& path, const ToolRun& run) {
  return run(AppleTools::codesign, {"-d", "--entitlements", "-", "--xml", path.string()});
}

void CodeSign::signApp(const std::filesystem::path& app, const std::string& identity, bool deep,
                       double timeout) {
  HalyardCoreLog::debugMessage("Signing app: " + app.string());
  CoreCommand::checked(
      sign(deep ? Signature::appDeep : Signature::app, identity, app, shared(timeout)),
      std::string(signingTimeoutMessage));
}

DeepVerificationResult CodeSign::deepVerify(const std::filesystem::path& app, double timeout) {
  try {
    CoreCommand::checked(verify(Check::deepVerbose, app, shared(timeout)).run,
                         std::string(deepVerificationTimeoutMessage));
    return DeepVerificationResult::passed();
  } catch (const std::exception& error) {
    auto result = DeepVerificationResult::fromError(error);
    if (result.kind() == DeepVerificationResult::Kind::timedOut)
      HalyardCoreLog::debugMessage(std::string("Deep verification timed out: ") + error.what());
    else
      HalyardCoreLog::debugMessage("Deep verification failed: " + result.failureText());
    return result;
  }
}

std::string CodeSign::signDiskImage(const std::filesystem::path& image,
                                    const std::string& identity) {
  return CoreCommand::checked(sign(Signature::plain, identity, image, shared(diskImageTimeLimit)));
}

std::string CodeSign::verifyDiskImage(const std::filesystem::path& image) {
  return CoreCommand::checked(verify(Check::plain, image, shared(diskImageTimeLimit)).run);
}

} // namespace halyard
