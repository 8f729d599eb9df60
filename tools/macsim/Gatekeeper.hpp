#pragma once

#include "StateStore.hpp"

#include <filesystem>
#include <optional>
#include <string>

namespace macsim {

// The assessments of spctl: signature, Developer ID and notarization (a valid stapled ticket,
// or, when online, a ticket the notary service issued for the item's cdhash).
struct Gatekeeper {
  enum class Type { execute, open, install };

  struct Assessment {
    bool accepted = false;
    std::string source;                 // "Notarized Developer ID", ... (may be empty)
    std::optional<std::string> origin;  // the signing identity
    std::optional<std::string> problem; // replaces "rejected" (a broken signature)
    std::string note;                   // "(the code is valid but does not seem to be an app)"
  };

  static Assessment assess(const StateStore& store, const std::filesystem::path& path, Type type,
                           bool primarySignatureContext);
  static bool isNotarized(const StateStore& store, const std::filesystem::path& path,
                          const std::string& cdhash);
};

} // namespace macsim
