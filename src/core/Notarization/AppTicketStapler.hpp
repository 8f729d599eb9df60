#pragma once

#include <filesystem>

#include "core/Notarization/AppTicketStapleOutcome.hpp"

namespace halyard {

// Staples the ticket the notary service already holds for an app notarized earlier, without
// signing or submitting anything, and tells "the service has no ticket" apart from "the service
// could not be asked". stapler runs through the shared runner (Stapler); nothing here throws.
struct AppTicketStapler {
  static constexpr double checkLimit = 120;  // stapler validate
  static constexpr double stapleLimit = 300; // stapler staple

  // alreadyStapled after one `stapler validate` that passes; otherwise `stapler staple`, then
  // `stapler validate` again (stapled, or failed with its output). A staple that fails is
  // `failed` when its output reports network trouble (Stapler::isNetworkFailure), `noTicket`
  // otherwise.
  static AppTicketStapleOutcome stapleExistingTicket(const std::filesystem::path& app);
};

} // namespace halyard
