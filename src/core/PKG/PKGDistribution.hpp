#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// The distribution definition (Distribution.xml) of a product archive with one component
// package that installs one app: four spaces per level, "\n" after every line.
struct PKGDistribution {
  // The architectures an installer accepts when the app's own cannot be told.
  static constexpr const char* defaultArchitectures = "arm64,x86_64";

  std::string title;
  std::string hostArchitectures = defaultArchitectures;
  // Without one (or with an empty one) the definition has no volume check.
  std::optional<std::string> minimumSystemVersion;
  std::string identifier;
  std::string version;
  // The component package's file name, `<identifier>.component.pkg`.
  std::string componentFileName;
  // Adds the line that shows License.rtf from the localised resource folders.
  bool hasLicense = false;

  std::string text() const;

  // A value as XML text: code points that XML 1.0 does not allow (control characters, U+FFFE,
  // U+FFFF) are dropped, bytes that are not UTF-8 become U+FFFD, then "&", "<", ">" and '"' are
  // escaped.
  static std::string escaped(std::string_view value);

  // The host architectures from the names lipo lists: "arm64" and "x86_64" in the order listed,
  // each once, joined by ","; `defaultArchitectures` when neither is there.
  static std::string hostArchitecturesFrom(const std::vector<std::string>& names);
};

} // namespace halyard
