#pragma once

#include <filesystem>

namespace halyard {

// The one place that maps platform paths. When BOSUN_TOOL_ROOT is set and not empty, every
// absolute platform path (tools such as /usr/bin/codesign, the system version file, /Volumes)
// is looked up under it; otherwise the path is used as it is. Nothing else in the code base
// looks at BOSUN_TOOL_ROOT.
struct ToolRoot {
  // The root in force, or an empty path when none is set. Read from the environment each call.
  static std::filesystem::path root();

  // `platformPath` mapped under the root. A relative path is returned unchanged.
  static std::filesystem::path path(const std::filesystem::path& platformPath);

  // True when a tool root is in force (the stand-in tools are in use).
  static bool isActive();
};

} // namespace halyard
