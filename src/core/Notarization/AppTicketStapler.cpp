#include "core/Notarization/AppTicketStapler.hpp"

#include "core/Process/AppleTools.hpp"
#include "core/Process/ToolProcess.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

AppTicketStapleOutcome AppTicketStapler::stapleExistingTicket(const std::filesystem::path& app) {
  const auto path = std::filesystem::absolute(app).lexically_normal();
  if (ToolProcess::run(AppleTools::xcrun, AppleTools::staplerValidate(path), checkLimit)
          .succeeded())
    return AppTicketStapleOutcome::alreadyStapled();

  const auto staple =
      ToolProcess::run(AppleTools::xcrun, AppleTools::staplerStaple(path), stapleLimit);
  if (!staple.succeeded()) {
    std::string text = text::trimmed(staple.combined());
    return isNetworkFailure(text) ? AppTicketStapleOutcome::failed(std::move(text))
                                  : AppTicketStapleOutcome::noTicket(std::move(text));
  }

  const auto check =
      ToolProcess::run(AppleTools::xcrun, AppleTools::staplerValidate(path), checkLimit);
  if (check.succeeded()) return AppTicketStapleOutcome::stapled();
  return AppTicketStapleOutcome::failed(text::trimmed(check.combined()));
}

bool AppTicketStapler::isNetworkFailure(std::string_view text) {
  const std::string lower = text::lowercasedASCII(text);
  for (const char* sign :
       {"internet connection appears to be offline", "nsurlerrordomain",
        "network connection was lost", "timed out", "could not connect", "cannot find host"}) {
    if (lower.find(sign) != std::string::npos) return true;
  }
  return false;
}

} // namespace halyard
