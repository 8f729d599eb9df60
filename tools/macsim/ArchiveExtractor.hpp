#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace macsim {

struct ExtractionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Unpacks an archive into a folder and never writes outside it: entries with absolute paths
// or ".." components are refused before anything is written, nothing is written through a
// symbolic link, and (unless allowed) symbolic links that lead out of the folder are refused.
struct ArchiveExtractor {
  struct Options {
    bool allowEscapingLinks = false;
    // Entries for which this returns true are left out (for example __MACOSX/...).
    std::function<bool(const std::string&)> skip;
  };

  static void extract(std::string_view bytes, const std::filesystem::path& destination,
                      const Options& options);
  // Why `name` may not be written (empty when it may); also checks a symbolic link's target.
  static std::string refusal(const std::string& name, const std::string& linkTarget,
                             bool allowEscapingLinks);
};

} // namespace macsim
