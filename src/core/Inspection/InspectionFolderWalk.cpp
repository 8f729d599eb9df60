#include "core/Inspection/InspectionFolderWalk.hpp"

#include <algorithm>
#include <system_error>
#include <vector>

namespace halyard {

std::vector<std::filesystem::path>
InspectionFolderWalk::listing(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> entries;
  std::error_code error;
  std::filesystem::directory_iterator iterator(folder, error);
  if (error) return entries;
  for (const std::filesystem::directory_iterator end; iterator != end; iterator.increment(error)) {
    if (error) break;
    const auto name = iterator->path().filename().string();
    if (!name.empty() && name.front() != '.') entries.push_back(iterator->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

void InspectionFolderWalk::walk(const std::filesystem::path& root, const Visitor& visit) {
  // Each level keeps its sorted entries and the position of the next one to visit.
  struct Level {
    std::vector<std::filesystem::path> entries;
    std::size_t next = 0;
  };
  std::vector<Level> stack;
  stack.push_back(Level{listing(root)});
  while (!stack.empty()) {
    auto& level = stack.back();
    if (level.next == level.entries.size()) {
      stack.pop_back();
      continue;
    }
    const auto path = level.entries[level.next++];
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (error) continue;
    const auto action = visit(path, status);
    if (action == Action::stop) return;
    if (action == Action::descend && std::filesystem::is_directory(status))
      stack.push_back(Level{listing(path)});
  }
}

} // namespace halyard
