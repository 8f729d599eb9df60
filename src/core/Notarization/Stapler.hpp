#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// `xcrun stapler`: the one place that spells its command lines and reads what it answers. The
// runs come back as they are; what a failure means for the step is the caller's to say.
struct Stapler {
  // What `stapler validate FILE` said about the file's stapled ticket.
  struct Validation {
    ToolProcessResult run; // as the tool's runner gave it
    // Exited 0 and said so ("The validate action worked!", read in any letter case).
    bool validated() const;
    // "X does not have a ticket stapled to it."
    bool noTicket() const;
    // Both streams, as ToolProcessResult::combined.
    std::string text() const { return run.combined(); }
  };

  // What `stapler staple FILE` came to ("The staple and validate action worked!" on success).
  struct Stapling {
    ToolProcessResult run;
    bool stapled() const { return run.succeeded(); }
    // The notary service has no record of a ticket for the file (CloudKit's "Record not found"),
    // as for a file nobody notarized or one whose ticket has not reached the service yet.
    bool recordNotFound() const;
    // The service could not be asked at all.
    bool networkFailure() const;
  };

  // `xcrun stapler validate FILE`.
  static Validation validate(const std::filesystem::path& file, const ToolRun& run);
  // `xcrun stapler staple FILE`.
  static Stapling staple(const std::filesystem::path& file, const ToolRun& run);

  // Whether a tool's words report network trouble (offline, lost connection, a request that
  // timed out, a host that cannot be found or reached) rather than an answer, in any letter case.
  // notarytool reports the same URL-loading errors.
  static bool isNetworkFailure(std::string_view text);
};

} // namespace halyard
