#include "core/Notarization/NotaryTool.hpp"

#include <exception>
#include <string>
#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

using text::contains;

NotarizationStatus classified(const std::filesystem::path& executable,
                              const std::vector<std::string>& arguments) {
  try {
    const std::string output = CoreCommand::capture(executable, arguments, NotaryTool::toolTimeout);
    return NotaryTool::looksNotarized(output) ? NotarizationStatus::notarized()
                                              : NotarizationStatus::notNotarized();
  } catch (const std::exception& error) {
    return NotarizationStatus::failed(error.what());
  }
}

} // namespace

std::string NotaryTool::submitAndWait(const std::filesystem::path& file,
                                      const NotaryCredentials& credentials) {
  std::vector<std::string> arguments{"notarytool", "submit", file.string()};
  const auto authentication = credentials.arguments();
  arguments.insert(arguments.end(), authentication.begin(), authentication.end());
  arguments.insert(arguments.end(), {"--wait", "--output-format", "json"});
  return CoreCommand::capture(AppleTools::xcrun, arguments, toolTimeout);
}

std::string NotaryTool::submitAndWait(const std::filesystem::path& file,
                                      const std::string& keychainProfile) {
  return submitAndWait(file, NotaryCredentials::keychainProfile(keychainProfile));
}

void NotaryTool::staple(const std::filesystem::path& file) {
  CoreCommand::run(AppleTools::xcrun, AppleTools::staplerStaple(file), toolTimeout);
}

std::string NotaryTool::validateStaple(const std::filesystem::path& file) {
  return CoreCommand::capture(AppleTools::xcrun, AppleTools::staplerValidate(file), toolTimeout);
}

NotarizationStatus NotaryTool::statusOfDiskImage(const std::filesystem::path& file) {
  return classified(AppleTools::xcrun, AppleTools::staplerValidate(file));
}

NotarizationStatus NotaryTool::statusOfApp(const std::filesystem::path& file) {
  return classified(AppleTools::spctl,
                    AppleTools::gatekeeperAssessment(AppleTools::Assessment::execute, file));
}

bool NotaryTool::looksNotarized(std::string_view output) {
  const std::string lower = text::lowercasedASCII(output);
  return (contains(lower, "accepted") && contains(lower, "source")) ||
         (contains(lower, "notarized") && contains(lower, "ticket")) ||
         contains(lower, "validate action worked");
}

} // namespace halyard
