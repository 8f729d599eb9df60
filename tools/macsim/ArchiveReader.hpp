#pragma once

#include "ArchiveMember.hpp"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace macsim {

struct ArchiveError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Reads any archive libarchive knows (zip, tar, cpio, xar, with any supported compression).
struct ArchiveReader {
  // Every member with its data; throws ArchiveError when the bytes are not a readable archive.
  static std::vector<ArchiveMember> read(std::string_view bytes);
  // "./a/b" and "a/b/" become "a/b"; "." and "./" become "".
  static std::string normalizedName(const std::string& name);
};

} // namespace macsim
