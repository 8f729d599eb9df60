#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "core/Legal/LicenseDocumentKind.hpp"
#include "core/Legal/LicenseLanguage.hpp"

namespace halyard {

// Finds license documents in a folder by their file names alone (nothing is read here): which
// files are license documents, of which kind, in which language, and which one file to use for a
// kind and language.
struct LicenseDocumentLocator {
  struct Match {
    std::filesystem::path url;
    LicenseDocumentKind kind;
    LicenseLanguage language;

    bool operator==(const Match&) const = default;
  };

  // The readable extensions, best first: "rtf", "rtfd", "docx", "doc", "odt", "html", "htm",
  // "xhtml", "webarchive", "md", "markdown", "txt", "text", "pdf" (compared in lower case).
  static const std::vector<std::string_view>& supportedExtensions();

  // The license documents among the folder's direct entries (hidden entries and unsupported
  // extensions left out), in the Finder's order of their names. A folder that cannot be listed
  // has none.
  static std::vector<Match> scan(const std::filesystem::path& folder);

  // True when the file name's extension is one of supportedExtensions(); looks at the bytes of
  // the name only, so a crowded folder is sorted through cheaply.
  static bool hasSupportedExtension(std::string_view fileName);

  // The license documents among entries already known to have a supported extension, in the
  // Finder's order of their names.
  static std::vector<Match> classifyCandidates(std::vector<std::filesystem::path> candidates);

  // The kind and language of a file by its name, or nothing when it is not a license document.
  // A name without a language suffix is English (US).
  static std::optional<Match> classify(const std::filesystem::path& url);

  // The kind a file-name stem (the name without extension or language suffix) names, if any.
  static std::optional<LicenseDocumentKind> kind(std::string_view stem);

  // The document of this kind and language in the folder: the best extension wins, and among
  // files with the same extension the first in scan order.
  static std::optional<std::filesystem::path> find(const std::filesystem::path& folder,
                                                   LicenseDocumentKind kind,
                                                   const LicenseLanguage& language);
};

} // namespace halyard
