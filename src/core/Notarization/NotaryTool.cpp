#include "core/Notarization/NotaryTool.hpp"

#include <exception>
#include <string>

#include "core/Notarization/Notary.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

using text::contains;

// The shared runner with the operations' one time limit.
ToolRun shared() {
  return {AppleTools::Runner::shared, NotaryTool::toolTimeout};
}

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
  return CoreCommand::checked(Notary::submit(file, credentials, shared(), Notary::Wait::yes).run);
}

std::string NotaryTool::submitAndWait(const std::filesystem::path& file,
                                      const std::string& keychainProfile) {
  return submitAndWait(file, NotaryCredentials::keychainProfile(keychainProfile));
}

void NotaryTool::staple(const std::filesystem::path& file) {
  CoreCommand::checked(Stapler::staple(file, shared()).run);
}

std::string NotaryTool::validateStaple(const std::filesystem::path& file) {
  return CoreCommand::checked(Stapler::validate(file, shared()).run);
}

NotarizationStatus NotaryTool::statusOfDiskImage(const std::filesystem::path& file) {
  return classified([&] { return validateStaple(file); });
}

NotarizationStatus NotaryTool::statusOfApp(const std::filesystem::path& file) {
  return classified([&] {
    return CoreCommand::checked(Gatekeeper::assess(Gatekeeper::Kind::execute, file, shared()).run);
  });
}

bool NotaryTool::looksNotarized(std::string_view output) {
  const std::string lower = text::lowercasedASCII(output);
  return (contains(lower, "accepted") && contains(lower, "source")) ||
         (contains(lower, "notarized") && contains(lower, "ticket")) ||
         contains(lower, "validate action worked");
}

} // namespace halyard
