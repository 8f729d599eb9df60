#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

// Reads the architectures of real Mach-O files (thin, 32 or 64 bit, either byte order, and
// universal) and writes small ones for test fixtures.
struct MachOFile {
  enum FileType : std::uint32_t { execute = 2, dylib = 6, bundle = 8 };

  struct Slice {
    std::string architecture;
    std::uint32_t cpuType = 0;
    std::uint32_t cpuSubtype = 0;
  };

  struct Header {
    bool universal = false;
    std::vector<Slice> slices;
    std::uint32_t fileType = 0; // of the first slice
  };

  // std::nullopt when the file is not a Mach-O file.
  static std::optional<Header> read(const std::filesystem::path& path);
  static std::optional<Header> parse(const std::string& bytes);
  // The bytes of a Mach-O file with the given architectures, universal when there are several.
  // Throws std::invalid_argument for an unknown architecture name.
  static std::string make(const std::vector<std::string>& architectures, std::uint32_t fileType);
  static std::string architectureName(std::uint32_t cpuType, std::uint32_t cpuSubtype);
  // "Mach-O universal (x86_64 arm64)" or "Mach-O thin (arm64)".
  static std::string describe(const Header& header);
};

} // namespace macsim
