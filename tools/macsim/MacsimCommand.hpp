#pragma once

#include <string>
#include <vector>

namespace macsim {

// `macsim <command>`: making a stand-in root and filling its keychain (init, identity, profile),
// fixtures (machO) and the help text.
struct MacsimCommand {
  static int run(const std::vector<std::string>& arguments);
  static const char* helpText();
};

} // namespace macsim
