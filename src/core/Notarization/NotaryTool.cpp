#include "core/Notarization/NotaryTool.hpp"

#include <exception>
#include <string>
#include <vector>

#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

using text::contains;

// The status from one check; a run that fails is a failed status with CoreCommand's description.
template <typename Run> NotarizationStatus classified(Run&& run) {
  try {
    const std::string output = run();
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
  return classified([&] {
    return CoreCommand::capture(AppleTools::xcrun, AppleTools::staplerValidate(file), toolTimeout);
  });
}

NotarizationStatus NotaryTool::statusOfApp(const std::filesystem::path& file) {
  return classified([&] {
    return CoreCommand::checked(Gatekeeper::assess(Gatekeeper::Kind::execute, file,
                                                   {AppleTools::Runner::shared, toolTimeout})
                                    .run);
  });
}

bool NotaryTool::looksNotarized(std::string_view output) {
  const std::string lower = text::lowercasedASCII(output);
  return (contains(lower, "accepted") && contains(lower, "source")) ||
         (contains(lower, "notarized") && contains(lower, "ticket")) ||
         contains(lower, "validate action worked");
}

} // namespace halyard
