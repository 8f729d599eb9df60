#include "core/Inspection/InstallerScriptScanner.hpp"

#include <algorithm>
#include <array>
#include <fstream>

#include "core/Inspection/InspectionFolderWalk.hpp"
#include "core/Inspection/InspectionText.hpp"

namespace halyard {

namespace {
constexpr std::size_t chunkSize = 64 * 1024;

bool containsAny(std::string_view text, const std::vector<std::string_view>& patterns) {
  return std::any_of(patterns.begin(), patterns.end(), [&](std::string_view pattern) {
    return text.find(pattern) != std::string_view::npos;
  });
}

std::size_t longestPattern() {
  std::size_t longest = 0;
  for (const auto* patterns : {&InstallerScriptScanner::privilegedPatterns(),
                               &InstallerScriptScanner::sensitivePatterns()}) {
    for (const auto pattern : *patterns)
      longest = std::max(longest, pattern.size());
  }
  return longest;
}
} // namespace

const std::vector<std::string_view>& InstallerScriptScanner::privilegedPatterns() {
  static const std::vector<std::string_view> patterns{
      "sudo ",      "launchctl", "chmod ",    "chown ",      "osascript",     "rm -rf",
      "installer ", "/library/", "/private/", "/usr/local/", "/applications/"};
  return patterns;
}

const std::vector<std::string_view>& InstallerScriptScanner::sensitivePatterns() {
  static const std::vector<std::string_view> patterns{
      "defaults write", "launchagents", "launchdaemons", "systemextensions",
      "killall",        "plutil",       "spctl",         "csrutil"};
  return patterns;
}

bool InstallerScriptScanner::isScriptName(std::string_view name) {
  const auto lower = inspectiontext::lowercased(name);
  return lower == "preinstall" || lower == "postinstall" || lower == "preupgrade" ||
         lower == "postupgrade";
}

InstallerScriptScanner::Matches InstallerScriptScanner::scanText(std::istream& text) {
  // Each chunk is searched together with the end of the one before, so that a pattern split
  // between two chunks is still found.
  static const std::size_t overlap = longestPattern() - 1;
  Matches matches;
  std::string window;
  std::array<char, chunkSize> buffer{};
  while (text && !(matches.privileged && matches.sensitive)) {
    text.read(buffer.data(), buffer.size());
    const auto count = static_cast<std::size_t>(text.gcount());
    if (count == 0) break;
    window.append(inspectiontext::lowercased(std::string_view(buffer.data(), count)));
    matches.privileged = matches.privileged || containsAny(window, privilegedPatterns());
    matches.sensitive = matches.sensitive || containsAny(window, sensitivePatterns());
    if (window.size() > overlap) window.erase(0, window.size() - overlap);
  }
  return matches;
}

InstallerScriptScan InstallerScriptScanner::scan(const std::filesystem::path& expandedFolder) {
  InstallerScriptScan result;
  InspectionFolderWalk::walk(
      expandedFolder, [&](const std::filesystem::path& path, std::filesystem::file_status status) {
        const bool folder = std::filesystem::is_directory(status);
        const auto name = path.filename().string();
        if (!folder && isScriptName(name)) {
          result.names.push_back(name);
          if (std::filesystem::is_regular_file(status)) {
            std::ifstream stream(path, std::ios::binary);
            const auto matches = scanText(stream);
            result.privileged = result.privileged || matches.privileged;
            result.sensitive = result.sensitive || matches.sensitive;
          }
        }
        return InspectionFolderWalk::Action::descend;
      });
  return result;
}

} // namespace halyard
