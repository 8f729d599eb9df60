#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Unpacks an app delivered as a ZIP archive (with ditto, keeping resource forks and extended
// attributes) and finds the app bundle in the unpacked tree.
struct ZipAppExtractor {
  class ExtractionError : public Error {
  public:
    static constexpr const char* domainName = "Halyard.zipExtraction";
    // ditto's message, or "The archive could not be extracted." when it printed nothing.
    static ExtractionError dittoFailed(const std::string& message);

  private:
    explicit ExtractionError(const std::string& description) : Error(domainName, 1, description) {}
  };

  // Unpacks with Ditto::extract and waits for it (no time limit). Throws ExtractionError unless
  // ditto exits 0.
  static void extract(const std::filesystem::path& archive,
                      const std::filesystem::path& destination);

  // The app bundle in the folder tree: a folder named *.app (any letter case) that is not a
  // symbolic link and holds Contents/Info.plist. "__MACOSX" folders, hidden items, links and the
  // contents of packages are skipped. The shallowest candidate wins; among equally shallow ones,
  // the first in the Finder's order of names. None when there is no candidate.
  static std::optional<std::filesystem::path> findApp(const std::filesystem::path& folder);
};

} // namespace halyard
