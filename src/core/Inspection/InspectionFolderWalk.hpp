#pragma once

#include <filesystem>
#include <functional>
#include <vector>

namespace halyard {

// A depth-first walk of a folder of untrusted contents (a mounted image, an expanded package).
// Entries are visited in byte order of their names, hidden entries (names starting with ".") are
// skipped with everything below them, symbolic links are reported but never followed, and
// folders that cannot be read are passed over. Memory grows with the depth and the size of the
// folders on the current path, not with the size of the tree.
struct InspectionFolderWalk {
  enum class Action { descend, skipChildren, stop };

  // `status` is the entry's own status (a link is a link).
  using Visitor =
      std::function<Action(const std::filesystem::path& path, std::filesystem::file_status status)>;

  static void walk(const std::filesystem::path& root, const Visitor& visit);

  // The root's own entries, sorted by name, hidden ones left out.
  static std::vector<std::filesystem::path> listing(const std::filesystem::path& folder);
};

} // namespace halyard
