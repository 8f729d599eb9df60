// Outside input of artifact notarization: the text notarytool, stapler, spctl, pkgutil and shasum
// print, judged by the coordinator's step rules and read by Notary and Stapler. A step either
// returns or throws its own error.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Notarization/ArtifactNotarizationSteps.hpp"
#include "core/Notarization/Notary.hpp"
#include "core/Notarization/Stapler.hpp"

namespace {

using Steps = halyard::ArtifactNotarizationSteps;

template <class Step> void judged(Step step) {
  try {
    step();
  } catch (const halyard::ArtifactNotarizationCoordinatorError&) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const size_t half = bytes.size() / 2;
  const int32_t status = size > 0 ? static_cast<int8_t>(data[0]) % 4 - 2 : 0; // -2 ... 1
  const halyard::ToolProcessResult run{status, bytes.substr(0, half), bytes.substr(half)};

  // notarytool's answers, read by Notary: an id or a status is text from the answer or nothing.
  const auto credentials = halyard::NotaryCredentials::keychainProfile("fuzz");
  const auto answering = [](const halyard::ToolProcessResult& result) {
    return halyard::ToolRun(
        [result](const char*, const std::vector<std::string>&) { return result; });
  };
  const auto json = answering({0, bytes, ""});
  const std::string id = halyard::Notary::submit("/f", credentials, json).id;
  const std::string verdict = halyard::Notary::info("id", credentials, json).status;
  if (id.size() > bytes.size() || verdict.size() > bytes.size()) __builtin_trap();
  (void)halyard::Notary::info("id", credentials, answering(run)).failedForNow();
  // stapler's answers.
  (void)halyard::Stapler::Validation{run}.validated();
  (void)halyard::Stapler::Validation{run}.noTicket();
  (void)halyard::Stapler::Stapling{run}.recordNotFound();

  judged([&] { Steps::staplingOutput(run); });
  judged([&] { Steps::validationOutput(halyard::ArtifactKind::dmg, run, run); });
  const std::string digest = Steps::digest(run);
  if (digest.empty()) __builtin_trap();
  (void)Steps::normalizedInstallerIdentity(bytes);
  return 0;
}
