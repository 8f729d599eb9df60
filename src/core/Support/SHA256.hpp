#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace halyard {

// SHA-256 digests as lower-case hexadecimal text.
struct SHA256 {
  static std::string hexDigest(std::string_view data);

  // The digest of a file's contents, read in fixed-size chunks. Throws halyard::Error (domain
  // "Halyard.sha256") when the file cannot be opened or read.
  static std::string hexDigestOfFile(const std::filesystem::path& file);

  // The digest of what a path holds: a file's contents, or a folder's whole tree (each entry's
  // path inside it, its kind, a file's contents and whether it is executable, a link's target).
  // Equal trees give equal digests whatever order the file system lists them in. Throws
  // halyard::Error or std::filesystem::filesystem_error when something cannot be read.
  static std::string hexDigestOfTree(const std::filesystem::path& root);
};

} // namespace halyard
