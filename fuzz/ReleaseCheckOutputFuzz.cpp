// Tool output read by the release checks: every decision rule over arbitrary text. The first byte
// picks the exit status.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Inspection/ReleaseCheck.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using halyard::ReleaseCheck;
  const int32_t status = static_cast<int8_t>(data[0]);
  const std::string_view output(reinterpret_cast<const char*>(data + 1), size - 1);

  if (auto line = ReleaseCheck::firstMeaningfulLine(output))
    if (line->empty() || line->starts_with("Processing:")) __builtin_trap();
  (void)ReleaseCheck::signatureVerificationFailure(status, output);
  (void)ReleaseCheck::signingAuthorityStatus(output);
  const halyard::ToolProcessResult run{status, std::string(output), ""};
  (void)ReleaseCheck::packageSigningStatus(halyard::PackageSignatureFacts::from(run));
  // A failed status always carries a reason that is not empty.
  for (const auto& result : {ReleaseCheck::notarizationStatus(halyard::Gatekeeper::read(run)),
                             ReleaseCheck::staplingStatus({run})})
    if (!result.isPassed() && result.reason()->empty()) __builtin_trap();
  return 0;
}
