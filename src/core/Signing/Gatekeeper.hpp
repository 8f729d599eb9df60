#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/Process/ToolProcessResult.hpp"
#include "core/Process/ToolRun.hpp"

namespace halyard {

// How a Gatekeeper command line is spelled. The long form is `--assess -vv --type KIND`; the check
// after notarization uses the short `-a -t exec|open -vvv`.
struct GatekeeperForm {
  int verbosity = 2; // the number of v's: 2 or 3
  bool abbreviated = false;
};

// Gatekeeper's verdict on a file (`spctl --assess`): the one place that spells its command lines
// and reads its answer. A rejection is a verdict, not an error; a run that did not finish keeps
// its status (-1, -2) and the runner's explanation.
struct Gatekeeper {
  // What the file is assessed as.
  enum class Kind {
    execute, // an app: --type execute
    open,    // a disk image: --type open --context context:primary-signature
    install, // an installer package: --type install
  };

  using Form = GatekeeperForm;

  struct Assessment {
    ToolProcessResult run; // as the tool's runner gave it
    // The value of the "source=" line, for example "Notarized Developer ID" or
    // "Unnotarized Developer ID"; none when no line names one.
    std::optional<std::string> source;
    bool rejected = false; // the answer says "rejected" (in any case)

    bool accepted() const { return run.status == 0; }
    // The source is a notarized Developer ID (whatever the exit status).
    bool notarized() const;
    // Signed with a Developer ID that Apple has no ticket for.
    bool unnotarizedDeveloperID() const;
    // Both streams, as ToolProcessResult::combined.
    std::string text() const { return run.combined(); }
  };

  static std::vector<std::string> arguments(Kind kind, const std::filesystem::path& file,
                                            Form form = {});
  static Assessment assess(Kind kind, const std::filesystem::path& file, const ToolRun& run,
                           Form form = {});
  static Assessment read(ToolProcessResult run);
};

} // namespace halyard
