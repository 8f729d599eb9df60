#include "core/Inspection/InstallerScriptScanner.hpp"

#include <algorithm>
#include <array>
#include <fstream>

#include "core/Inspection/InspectionFolderWalk.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {
constexpr std::size_t chunkSize = 64 * 1024;

char lowerASCII(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The patterns grouped by their first byte, so that one pass over the text compares only the
// patterns that can start at each position.
struct PatternTable {
  struct Entry {
    std::string_view pattern;
    bool privileged;
  };
  std::array<std::vector<Entry>, 256> byFirstByte;
  std::size_t longest = 0;

  PatternTable() {
    for (const bool privileged : {true, false}) {
      const auto& patterns = privileged ? InstallerScriptScanner::privilegedPatterns()
                                        : InstallerScriptScanner::sensitivePatterns();
      for (const auto pattern : patterns) {
        byFirstByte[static_cast<unsigned char>(pattern.front())].push_back({pattern, privileged});
        longest = std::max(longest, pattern.size());
      }
    }
  }

  // Marks the patterns that occur in `text`, compared with the text lower-cased (the patterns
  // are lower case).
  void search(std::string_view text, InstallerScriptScanner::Matches& matches) const {
    for (std::size_t i = 0; i < text.size(); ++i) {
      for (const auto& entry : byFirstByte[static_cast<unsigned char>(lowerASCII(text[i]))]) {
        if ((entry.privileged ? matches.privileged : matches.sensitive) ||
            text.size() - i < entry.pattern.size())
          continue;
        std::size_t k = 1;
        while (k < entry.pattern.size() && lowerASCII(text[i + k]) == entry.pattern[k])
          ++k;
        if (k == entry.pattern.size())
          (entry.privileged ? matches.privileged : matches.sensitive) = true;
      }
    }
  }
};

const PatternTable& patternTable() {
  static const PatternTable table;
  return table;
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
  const auto lower = text::lowercasedASCII(name);
  return lower == "preinstall" || lower == "postinstall" || lower == "preupgrade" ||
         lower == "postupgrade";
}

InstallerScriptScanner::Matches InstallerScriptScanner::scanText(std::istream& text) {
  // Each chunk is searched together with the end of the one before, so that a pattern split
  // between two chunks is still found.
  const auto& table = patternTable();
  const std::size_t overlap = table.longest - 1;
  Matches matches;
  std::vector<char> window(overlap + chunkSize);
  std::size_t carried = 0;
  while (text && !(matches.privileged && matches.sensitive)) {
    text.read(window.data() + carried, static_cast<std::streamsize>(chunkSize));
    const auto count = static_cast<std::size_t>(text.gcount());
    if (count == 0) break;
    const std::size_t filled = carried + count;
    table.search(std::string_view(window.data(), filled), matches);
    carried = std::min(overlap, filled);
    std::copy(window.begin() + static_cast<std::ptrdiff_t>(filled - carried),
              window.begin() + static_cast<std::ptrdiff_t>(filled), window.begin());
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
