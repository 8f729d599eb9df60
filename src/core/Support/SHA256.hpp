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
};

} // namespace halyard
