#include "core/Process/AppleTools.hpp"

namespace halyard {

std::vector<std::string> AppleTools::xcrunFind(const std::string& tool) {
  return {"--find", tool};
}

std::vector<std::string> AppleTools::keychainInfo() {
  return {"show-keychain-info"};
}

ProcessRunRequest AppleTools::request(Runner runner, std::filesystem::path executable,
                                      std::vector<std::string> arguments, double timeout) {
  ProcessRunRequest request;
  request.executable = std::move(executable);
  request.arguments = std::move(arguments);
  request.timeout = timeout;
  request.escalation = TimeoutEscalation::terminateThenKill;
  switch (runner) {
  case Runner::shared:
    request.escalation = TimeoutEscalation::terminate;
    request.deliverAtDeadline = true;
    request.reportExit = true;
    break;
  case Runner::inspection:
    request.reportExit = true;
    break;
  case Runner::releaseCheck:
    request.mergeStreams = true;
    request.deliverAtDeadline = true;
    break;
  case Runner::identityQuery:
    request.discardStandardError = true;
    request.keepOutputOnTimeout = false;
    break;
  case Runner::notarization:
    request.keepOutputOnTimeout = false;
    break;
  case Runner::cleanup:
    request.discardStandardError = true;
    request.track = false;
    break;
  }
  return request;
}

} // namespace halyard
