#include "core/Process/ToolProcessResult.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

std::string ToolProcessResult::combined() const {
  auto output = text::trimmed(standardOutput);
  auto error = text::trimmed(standardError);
  if (!output.empty() && !error.empty()) return output + "\n" + error;
  return output.empty() ? error : output;
}

} // namespace halyard
