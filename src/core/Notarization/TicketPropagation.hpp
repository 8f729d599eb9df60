#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Notarization/Stapler.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// Right after the notary service accepts a submission, its ticket can take a minute or two to
// reach the service that `stapler staple` asks; until then stapler fails with "Record not
// found", exactly as for a file nobody notarized. A staple that follows this run's own accepted
// submission therefore waits and tries again a few times; every other staple takes the first
// answer.
struct TicketPropagation {
  using Progress = std::function<void(const std::string&)>;
  using Sleep = std::function<void(double seconds)>;

  // The waits before the second, third, ... attempt, in seconds (at most about two minutes in
  // all).
  std::vector<double> waits{10, 20, 40, 40};
  // How to wait; empty: the calling thread sleeps. Tests put in a quick one.
  Sleep sleep;

  // Staples the file (Stapler::staple through `run`) until stapler does not fail with "Record
  // not found" or the waits are used up, writing a step line before each wait; stops early when
  // the run is being cancelled. Returns the last attempt.
  Stapler::Stapling stapleAfterAcceptance(const std::filesystem::path& file, const ToolRun& run,
                                          const Progress& progress) const;
};

} // namespace halyard
