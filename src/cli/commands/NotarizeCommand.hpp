#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "cli/console/ExitCode.hpp"

namespace bosun {

struct ParsedArguments;

// `bosun notarize <file.dmg | file.pkg>`: finishes a disk image or installer package built
// elsewhere. It signs the file (unless --no-sign), submits it to the notary service, staples and
// validates the ticket through the artifact notarization coordinator, then runs the three
// release checks and reports like `start`: three check lines, a "summary" event in JSON mode,
// the final line, and the file's path on standard output.
//
// The file is processed in place; with --output the result goes to a copy and the input never
// changes. Either way the work happens on a copy beside the target, renamed over it only when
// every step has passed.
struct NotarizeCommand {
  static ExitCode run(const ParsedArguments& parsed);

  // The file to work on. Without `output`, the source itself. Otherwise `output` ("~" expanded,
  // relative to the source's folder) names an existing folder, or a path whose extension differs
  // from the source's (also a folder), both getting a copy named like the source, or the copy
  // file itself. A target that is the source is used in place. An existing target is an input
  // error unless `overwrite`. The target's folder is created; the target itself is not touched.
  static std::filesystem::path prepareTarget(const std::filesystem::path& source,
                                             const std::optional<std::string>& output,
                                             bool overwrite);
};

} // namespace bosun
