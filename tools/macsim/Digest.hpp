#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace macsim {

// Lower-case hexadecimal digests.
struct Digest {
  static std::string sha256(std::string_view bytes);
  static std::string sha1(std::string_view bytes);
  // SHA-256 of the first `length` bytes of a file (all of it by default).
  static std::string sha256OfFile(const std::filesystem::path& path,
                                  std::uint64_t length = std::numeric_limits<std::uint64_t>::max());
  static std::string sha1OfFile(const std::filesystem::path& path);
};

} // namespace macsim
