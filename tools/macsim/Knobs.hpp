#pragma once

#include <optional>
#include <string>
#include <vector>

namespace macsim {

// Failure on demand. Every knob is an environment variable starting with MACSIM_:
//   MACSIM_<TOOL>_DELAY=SECONDS      the tool sleeps first (fractions allowed)
//   MACSIM_<TOOL>_FAIL=STATUS        the tool does nothing and exits with STATUS
//   MACSIM_<TOOL>_STDOUT=TEXT        printed on standard output by a failing tool
//   MACSIM_<TOOL>_STDERR=TEXT        printed on standard error by a failing tool
//   MACSIM_<TOOL>_WHEN=WORD          DELAY and FAIL apply only when an argument equals WORD
//   MACSIM_OFFLINE=1                 the network is down (notary service, tickets, timestamps)
//   MACSIM_NOTARY_VERDICT=Invalid    the notary service rejects every submission
//   MACSIM_BUSY_EJECTS=N             each attached volume refuses its first N ordinary ejects
//   MACSIM_TICKET_PROPAGATION=N      the first N staples of each new ticket find no record yet
//   MACSIM_STUCK_VOLUMES=1           attached volumes never unmount, not even when forced
//   MACSIM_KEYCHAIN_LOCKED=1         the login keychain is locked (security show-keychain-info)
//   MACSIM_NOTARY_PROCESSING=SECONDS the notary service takes that long before its verdict
//   MACSIM_NOTARY_WAIT_HANGS=1       `notarytool submit --wait` and `wait` never return
//   MACSIM_NOTARY_INFO_FAILS=N       the next N `notarytool info` calls fail with a network error
//   MACSIM_MISMATCHED_TICKETS=1      stapler staple reports success but attaches a ticket issued
//                                    for other content, which stapler validate then rejects
// <TOOL> is the tool's name in capitals: CODESIGN, HDIUTIL, NOTARYTOOL, STAPLER, ...
struct Knobs {
  // Applies the delay and the forced failure of `tool`; returns the exit status when the tool
  // must stop here (after printing the configured output).
  static std::optional<int> apply(const std::string& tool,
                                  const std::vector<std::string>& arguments);
  static bool offline();
  static bool forcedInvalid();
  static int busyEjects();
  static int ticketPropagationStaples();
  static bool stuckVolumes();
  static bool keychainLocked();
  static double notaryProcessingSeconds();
  static bool notaryWaitHangs();
  static int notaryInfoFailures();
  static bool mismatchedTickets();
  static std::optional<std::string> value(const std::string& name);
};

} // namespace macsim
