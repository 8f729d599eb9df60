#include "core/Notarization/AppTicketStapler.hpp"

#include "core/Notarization/Stapler.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

AppTicketStapleOutcome AppTicketStapler::stapleExistingTicket(const std::filesystem::path& app) {
  const auto path = std::filesystem::absolute(app).lexically_normal();
  const ToolRun check{AppleTools::Runner::shared, checkLimit};
  if (Stapler::validate(path, check).run.succeeded())
    return AppTicketStapleOutcome::alreadyStapled();

  const auto staple = Stapler::staple(path, {AppleTools::Runner::shared, stapleLimit});
  if (!staple.stapled()) {
    std::string text = text::trimmed(staple.run.combined());
    return staple.networkFailure() ? AppTicketStapleOutcome::failed(std::move(text))
                                   : AppTicketStapleOutcome::noTicket(std::move(text));
  }

  const auto validation = Stapler::validate(path, check);
  if (validation.run.succeeded()) return AppTicketStapleOutcome::stapled();
  return AppTicketStapleOutcome::failed(text::trimmed(validation.text()));
}

} // namespace halyard
