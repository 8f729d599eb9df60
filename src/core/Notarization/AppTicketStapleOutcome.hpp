#pragma once

#include <string>

namespace halyard {

// What stapling an existing ticket to an app came to. `noTicket` means the notary service has
// no ticket for the app (it was never notarized as it is); `failed` means the question could
// not be answered (network trouble, a staple that did not validate). Both carry stapler's
// trimmed output.
struct AppTicketStapleOutcome {
  enum class Kind { noTicket, failed, stapled, alreadyStapled };

  Kind kind = Kind::failed;
  std::string text;

  static AppTicketStapleOutcome noTicket(std::string text) {
    return {Kind::noTicket, std::move(text)};
  }
  static AppTicketStapleOutcome failed(std::string text) { return {Kind::failed, std::move(text)}; }
  static AppTicketStapleOutcome stapled() { return {Kind::stapled, {}}; }
  static AppTicketStapleOutcome alreadyStapled() { return {Kind::alreadyStapled, {}}; }

  bool hasTicket() const { return kind == Kind::stapled || kind == Kind::alreadyStapled; }
  bool operator==(const AppTicketStapleOutcome&) const = default;
};

} // namespace halyard
