#pragma once

#include "ArchiveMember.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace macsim {

struct PackageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Flat installer packages as xar archives. A component package holds PackageInfo, Payload and
// optionally Scripts (both gzip-compressed cpio archives of their trees); a product archive
// holds Distribution, Resources/ and each component as a folder NAME.pkg/ with those members.
// The installer signature lives in the FileTrailer ("packageSignature").
struct FlatPackage {
  struct Component {
    std::string packageInfo;
    std::filesystem::path root;
    std::optional<std::filesystem::path> scripts;
  };

  static bool isPackage(const std::filesystem::path& path);
  static std::string buildComponent(const Component& component);
  // `components`: file name (as named in the distribution) and the component package's bytes.
  static std::string
  buildProduct(const std::string& distribution,
               const std::optional<std::filesystem::path>& resources,
               const std::vector<std::pair<std::string, std::string>>& components);
  // The members of a package file (without the trailer). Throws PackageError.
  static std::vector<ArchiveMember> members(const std::filesystem::path& path);
  static std::vector<ArchiveMember> membersOfBytes(const std::string& bytes);
  // pkgutil --expand / --expand-full: with `full`, Payload and Scripts become folders.
  static void expand(const std::filesystem::path& package, const std::filesystem::path& folder,
                     bool full);
};

} // namespace macsim
