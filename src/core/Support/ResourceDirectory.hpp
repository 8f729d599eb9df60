#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace halyard {

// Finds the program's read-only resources (artwork shipped with it). Candidates, in order:
// $HALYARD_RESOURCE_DIR when set and not empty; share/bosun beside the running executable's
// folder (the installed tree: <prefix>/bin/bosun and <prefix>/share/bosun); share/bosun inside
// that folder (the build tree, whose programs sit at its top). No path is compiled in.
struct ResourceDirectory {
  // The running program's file, its links resolved; nothing when the system cannot say.
  static std::optional<std::filesystem::path> executablePath();

  static std::vector<std::filesystem::path> candidates();

  // The first candidate that holds `relative` (a file or folder), as a full path.
  static std::optional<std::filesystem::path> find(const std::filesystem::path& relative);
};

} // namespace halyard
