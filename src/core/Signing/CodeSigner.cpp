#include "core/Signing/CodeSigner.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/HalyardCoreLog.hpp"

namespace halyard {

std::vector<std::string> CodeSigner::signAppArguments(const std::filesystem::path& app,
                                                      const std::string& identity, bool deep) {
  std::vector<std::string> arguments{"--force",
                                     "--options",
                                     "runtime",
                                     "--timestamp",
                                     "--preserve-metadata=identifier,entitlements,flags",
                                     "--sign",
                                     identity};
  if (deep) arguments.emplace_back("--deep");
  arguments.push_back(app.string());
  return arguments;
}

std::vector<std::string> CodeSigner::deepVerifyArguments(const std::filesystem::path& app) {
  return {"--verify", "--deep", "--strict", "--verbose=4", app.string()};
}

std::vector<std::string> CodeSigner::signDiskImageArguments(const std::filesystem::path& image,
                                                            const std::string& identity) {
  return {"--force", "--sign", identity, image.string()};
}

std::vector<std::string> CodeSigner::verifyDiskImageArguments(const std::filesystem::path& image) {
  return {"--verify", "--verbose=2", image.string()};
}

void CodeSigner::signApp(const std::filesystem::path& app, const std::string& identity, bool deep,
                         double timeout) {
  HalyardCoreLog::debugMessage("Signing app: " + app.string());
  CoreCommand::run(AppleTools::codesign, signAppArguments(app, identity, deep), timeout,
                   std::string(signingTimeoutMessage));
}

DeepVerificationResult CodeSigner::deepVerify(const std::filesystem::path& app, double timeout) {
  try {
    CoreCommand::run(AppleTools::codesign, deepVerifyArguments(app), timeout,
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

std::string CodeSigner::signDiskImage(const std::filesystem::path& image,
                                      const std::string& identity) {
  return CoreCommand::capture(AppleTools::codesign, signDiskImageArguments(image, identity),
                              diskImageTimeLimit);
}

std::string CodeSigner::verifyDiskImage(const std::filesystem::path& image) {
  return CoreCommand::capture(AppleTools::codesign, verifyDiskImageArguments(image),
                              diskImageTimeLimit);
}

} // namespace halyard
