#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace macsim {

// The tree that takes the place of a Mac's system folders: tool links at their real absolute
// paths, the system version file, /Volumes and the stand-ins' state.
struct StandInRoot {
  struct Link {
    std::string path; // relative to the root
    std::string tool; // the personality it runs
  };

  static const std::vector<Link>& links();
  // The root a tool belongs to, from the path it was invoked by (ROOT/usr/bin/codesign gives
  // ROOT); std::nullopt when that path is not one of the links.
  static std::optional<std::filesystem::path> fromInvocation(const std::string& invokedAs);
  // The invocation's root, else BOSUN_TOOL_ROOT; throws ToolFailure when neither is known.
  static std::filesystem::path locate(const std::string& invokedAs);
  // Creates or refreshes the tree; `executable` is the macsim binary the links point at.
  static void initialize(const std::filesystem::path& root, const std::string& macosVersion,
                         const std::filesystem::path& executable);
  // Where `xcrun --find` says a developer tool lives.
  static std::filesystem::path developerToolPath(const std::filesystem::path& root,
                                                 const std::string& tool);
};

} // namespace macsim
