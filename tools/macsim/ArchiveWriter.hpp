#pragma once

#include "ArchiveMember.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace macsim {

// Writes archives with libarchive, so that ordinary archive tools can open them.
struct ArchiveWriter {
  enum class Format { zip, tar, cpio, xar };
  enum class Filter { none, gzip, bzip2, lz4, lzma };

  // The items below `folder`, sorted, named `prefix` + their relative path. With `includeRoot`
  // the folder itself comes first, named `prefix` without its trailing slash (or "." when the
  // prefix is empty). With `withAttributes` each member carries the item's extended attributes.
  static std::vector<ArchiveMember> membersOf(const std::filesystem::path& folder,
                                              const std::string& prefix, bool includeRoot,
                                              bool withAttributes = false);
  // `level` is the compression level for gzip and zip (-1: the library's default).
  static std::string write(const std::vector<ArchiveMember>& members, Format format,
                           Filter filter = Filter::none, int level = -1);
};

} // namespace macsim
