#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace macsim {

// One invocation of a stand-in tool: which personality runs, its arguments and the stand-in
// root it belongs to.
struct ToolContext {
  std::string tool;
  std::vector<std::string> arguments;
  std::filesystem::path root;

  // var/macsim under the root: the keychain, the notary service and the attached images.
  std::filesystem::path stateFolder() const { return root / "var" / "macsim"; }
  // Where attached images appear, as /Volumes does on a Mac.
  std::filesystem::path volumesFolder() const { return root / "Volumes"; }
};

} // namespace macsim
