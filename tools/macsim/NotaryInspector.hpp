#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

// What the notary service finds in a submitted ZIP, disk image or package.
struct NotaryInspector {
  struct Issue {
    std::string path; // "App.zip/App.app/Contents/MacOS/App"
    std::string message;
    std::optional<std::string> architecture;
  };
  struct TicketItem {
    std::string path;
    std::string cdhash;
    std::optional<std::string> architecture;
  };
  struct Findings {
    std::vector<Issue> issues;
    std::vector<TicketItem> tickets; // every piece of code that passed, and the container
  };

  // `scratch` is an empty folder the inspector may unpack into.
  static Findings inspect(const std::filesystem::path& file, const std::filesystem::path& scratch);
};

} // namespace macsim
