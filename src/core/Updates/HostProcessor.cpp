#include "core/Updates/HostProcessor.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

bool HostProcessor::isAppleSilicon() {
  const auto result = ToolProcess::run(AppleTools::sysctl, {"-n", "hw.optional.arm64"},
                                       AppleTools::quickQueryLimit);
  return result.succeeded() && text::trimmed(result.standardOutput) == "1";
}

} // namespace halyard
