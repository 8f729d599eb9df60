#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// What the installer scripts of an expanded package contain.
struct InstallerScriptScan {
  std::vector<std::string> names; // file names of the scripts, in walk order
  bool privileged = false;        // a privileged command or system path occurs
  bool sensitive = false;         // a system-level change occurs

  bool operator==(const InstallerScriptScan&) const = default;
};

// Finds the installer scripts (preinstall, postinstall, preupgrade, postupgrade) in an expanded
// package and looks for privileged commands and sensitive actions in them. Scripts are read in
// fixed-size chunks, so an enormous script costs time but not memory; links are listed by name
// and never followed.
struct InstallerScriptScanner {
  struct Matches {
    bool privileged = false;
    bool sensitive = false;
  };

  static const std::vector<std::string_view>& privilegedPatterns();
  static const std::vector<std::string_view>& sensitivePatterns();

  // The last path component, lower-cased, is one of the four script names.
  static bool isScriptName(std::string_view name);

  static InstallerScriptScan scan(const std::filesystem::path& expandedFolder);

  // The patterns found in a script's text, compared with the text lower-cased.
  static Matches scanText(std::istream& text);
};

} // namespace halyard
