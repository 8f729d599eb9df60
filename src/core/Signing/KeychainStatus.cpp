#include "core/Signing/KeychainStatus.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"

namespace halyard {

KeychainStatus KeychainStatus::read() {
  return parse(ToolProcess::run(AppleTools::security, AppleTools::keychainInfo(), limit));
}

KeychainStatus KeychainStatus::parse(const ToolProcessResult& result) {
  KeychainStatus status;
  status.status = result.status;
  if (result.status == ToolProcessResult::timedOutStatus) {
    status.kind = Kind::timedOut;
    return status;
  }
  const std::string words = result.combined();
  if (!result.succeeded()) {
    status.kind = result.status == ToolProcessResult::launchFailedStatus ? Kind::notStarted
                                                                         : Kind::notReadable;
    status.text = words;
    return status;
  }
  // `Keychain "PATH" no-timeout`. Further settings may follow the name on the line
  // ("lock-on-sleep timeout=300s"): it ends at the first quote followed by a blank, or at the
  // line's last quote.
  status.kind = Kind::readable;
  const std::string line = words.substr(0, words.find('\n'));
  const auto first = line.find('"');
  auto last = line.find("\" ", first == std::string::npos ? 0 : first + 1);
  if (last == std::string::npos) last = line.rfind('"');
  if (first != std::string::npos && last != std::string::npos && last > first)
    status.keychain = line.substr(first + 1, last - first - 1);
  return status;
}

} // namespace halyard
