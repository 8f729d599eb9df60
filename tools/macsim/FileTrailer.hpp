#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>

namespace macsim {

// Metadata that travels inside a single file (a Mach-O, a disk image, a package): a JSON object
// appended after the file's own bytes, then its length as 8 big-endian bytes, then the 8-byte
// marker "MACSIMT1". Copies and archives carry it along like any other bytes; readers that stop
// at the end of their own format (Mach-O headers, tar and the supported compressors, xar) never
// look at it. A signature, a stapled ticket, an image's properties and its license resources
// live here.
struct FileTrailer {
  struct Contents {
    std::uint64_t contentLength = 0; // the file's size without the trailer
    nlohmann::json metadata = nlohmann::json::object();
  };

  static Contents read(const std::filesystem::path& path);
  // Replaces the trailer; an empty object removes it.
  static void write(const std::filesystem::path& path, const nlohmann::json& metadata);
  // The file's bytes without the trailer.
  static std::string content(const std::filesystem::path& path);
  static std::string encode(const nlohmann::json& metadata);
};

} // namespace macsim
