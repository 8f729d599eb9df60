#include "core/Process/DeveloperToolLocation.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

DeveloperToolLocation DeveloperToolLocation::find(const std::string& tool) {
  return read(ToolProcess::run(AppleTools::xcrun, AppleTools::xcrunFind(tool), limit));
}

DeveloperToolLocation DeveloperToolLocation::read(const ToolProcessResult& result) {
  if (result.status == ToolProcessResult::timedOutStatus) return {Kind::timedOut, {}};
  std::string path = text::trimmed(result.standardOutput);
  if (!result.succeeded() || path.empty()) return {Kind::missing, {}};
  return {Kind::found, std::move(path)};
}

} // namespace halyard
