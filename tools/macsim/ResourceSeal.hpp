#pragma once

#include "CodeLayout.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

// The sealed resources of a bundle: every file and symbolic link inside it, except the
// signature folder, the stapled ticket, the Info.plist and main executable (bound by the
// signature itself) and the insides of nested code, which is sealed by its cdhash.
// Written as the property list _CodeSignature/CodeResources ("files2").
struct ResourceSeal {
  struct Entry {
    enum class Type { file, symlink, nested };
    Type type = Type::file;
    std::string value; // SHA-256 (hexadecimal), link destination or cdhash
    bool operator==(const Entry& other) const { return type == other.type && value == other.value; }
  };

  std::map<std::string, Entry> entries; // by path relative to the bundle

  // Seals the bundle as it is now; nested code without a signature is listed in `unsigned`.
  static ResourceSeal of(const CodeLayout& layout,
                         std::vector<std::filesystem::path>& unsignedCode);
  static std::optional<ResourceSeal> parse(const std::string& plistBytes);
  std::string plist() const;

  struct Difference {
    std::vector<std::string> modified, added, missing; // relative paths
    bool empty() const { return modified.empty() && added.empty() && missing.empty(); }
  };
  Difference compare(const ResourceSeal& current) const;
};

} // namespace macsim
