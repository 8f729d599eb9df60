#include "MachOFile.hpp"

#include <array>
#include <fstream>
#include <stdexcept>

namespace macsim {

namespace {

constexpr std::uint32_t abi64 = 0x01000000;
constexpr std::uint32_t cpuX86 = 7;
constexpr std::uint32_t cpuArm = 12;
constexpr std::uint32_t cpuPowerPC = 18;

struct KnownArchitecture {
  const char* name;
  std::uint32_t cpuType;
  std::uint32_t cpuSubtype;
};

constexpr std::array<KnownArchitecture, 8> known = {{
    {"i386", cpuX86, 3},
    {"x86_64", cpuX86 | abi64, 3},
    {"x86_64h", cpuX86 | abi64, 8},
    {"armv7", cpuArm, 9},
    {"armv7s", cpuArm, 11},
    {"arm64", cpuArm | abi64, 0},
    {"arm64e", cpuArm | abi64, 2},
    {"ppc", cpuPowerPC, 0},
}};

std::uint32_t bigEndian(const std::string& bytes, size_t offset) {
  std::uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

std::uint32_t littleEndian(const std::string& bytes, size_t offset) {
  std::uint32_t value = 0;
  for (size_t i = 4; i-- > 0;)
    value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

void putBigEndian(std::string& bytes, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putLittleEndian(std::string& bytes, std::uint32_t value) {
  for (int shift = 0; shift <= 24; shift += 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::optional<std::pair<MachOFile::Slice, std::uint32_t>> thinHeader(const std::string& bytes,
                                                                     size_t offset) {
  if (bytes.size() < offset + 28) return std::nullopt;
  const std::uint32_t magic = littleEndian(bytes, offset);
  bool little = false;
  if (magic == 0xFEEDFACE || magic == 0xFEEDFACF)
    little = true;
  else if (magic == 0xCEFAEDFE || magic == 0xCFFAEDFE)
    little = false;
  else
    return std::nullopt;
  auto field = [&](size_t index) {
    return little ? littleEndian(bytes, offset + 4 * index) : bigEndian(bytes, offset + 4 * index);
  };
  MachOFile::Slice slice;
  slice.cpuType = field(1);
  slice.cpuSubtype = field(2);
  slice.architecture = MachOFile::architectureName(slice.cpuType, slice.cpuSubtype);
  return std::make_pair(slice, field(3));
}

} // namespace

std::string MachOFile::architectureName(std::uint32_t cpuType, std::uint32_t cpuSubtype) {
  const std::uint32_t subtype = cpuSubtype & 0x00FFFFFF;
  for (const auto& architecture : known)
    if (architecture.cpuType == cpuType && architecture.cpuSubtype == subtype)
      return architecture.name;
  for (const auto& architecture : known)
    if (architecture.cpuType == cpuType) return architecture.name;
  return "unknown(" + std::to_string(cpuType) + "," + std::to_string(subtype) + ")";
}

std::optional<MachOFile::Header> MachOFile::parse(const std::string& bytes) {
  if (bytes.size() < 8) return std::nullopt;
  const std::uint32_t magic = bigEndian(bytes, 0);
  if (magic == 0xCAFEBABE || magic == 0xCAFEBABF) {
    const bool wide = magic == 0xCAFEBABF;
    const std::uint32_t count = bigEndian(bytes, 4);
    // Java class files share the magic number; their version field is far above any slice count.
    if (count == 0 || count > 30) return std::nullopt;
    const size_t entrySize = wide ? 32 : 20;
    if (bytes.size() < 8 + count * entrySize) return std::nullopt;
    Header header;
    header.universal = true;
    for (std::uint32_t i = 0; i < count; ++i) {
      const size_t entry = 8 + i * entrySize;
      Slice slice;
      slice.cpuType = bigEndian(bytes, entry);
      slice.cpuSubtype = bigEndian(bytes, entry + 4);
      slice.architecture = architectureName(slice.cpuType, slice.cpuSubtype);
      header.slices.push_back(slice);
      if (i == 0) {
        const std::uint64_t offset =
            wide ? (static_cast<std::uint64_t>(bigEndian(bytes, entry + 8)) << 32) |
                       bigEndian(bytes, entry + 12)
                 : bigEndian(bytes, entry + 8);
        if (offset < bytes.size())
          if (auto thin = thinHeader(bytes, static_cast<size_t>(offset)))
            header.fileType = thin->second;
      }
    }
    return header;
  }
  auto thin = thinHeader(bytes, 0);
  if (!thin) return std::nullopt;
  Header header;
  header.slices.push_back(thin->first);
  header.fileType = thin->second;
  return header;
}

std::optional<MachOFile::Header> MachOFile::read(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) return std::nullopt;
  // Enough for the universal header of every slice and the first thin header at a small offset.
  std::string bytes(8192, '\0');
  stream.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(stream.gcount()));
  auto header = parse(bytes);
  if (header && header->universal && header->fileType == 0) {
    // The first slice lies beyond the bytes read; read its header where it is.
    std::ifstream again(path, std::ios::binary);
    std::string whole((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
    if (auto full = parse(whole)) return full;
  }
  return header;
}

std::string MachOFile::make(const std::vector<std::string>& architectures, std::uint32_t fileType) {
  auto lookup = [](const std::string& name) {
    for (const auto& architecture : known)
      if (name == architecture.name) return architecture;
    throw std::invalid_argument(name);
  };
  auto thin = [&](const KnownArchitecture& architecture) {
    const bool wide = (architecture.cpuType & abi64) != 0;
    std::string bytes;
    putLittleEndian(bytes, wide ? 0xFEEDFACF : 0xFEEDFACE);
    putLittleEndian(bytes, architecture.cpuType);
    putLittleEndian(bytes, architecture.cpuSubtype);
    putLittleEndian(bytes, fileType);
    putLittleEndian(bytes, 0);                                             // ncmds
    putLittleEndian(bytes, 0);                                             // sizeofcmds
    putLittleEndian(bytes, fileType == execute ? 0x00200085 : 0x00100085); // flags
    if (wide) putLittleEndian(bytes, 0);                                   // reserved
    bytes.resize(512, '\0');
    return bytes;
  };
  if (architectures.empty()) throw std::invalid_argument("no architecture");
  if (architectures.size() == 1) return thin(lookup(architectures.front()));

  constexpr std::uint32_t alignment = 12; // 4 KiB
  constexpr std::uint32_t page = 1u << alignment;
  std::string bytes;
  putBigEndian(bytes, 0xCAFEBABE);
  putBigEndian(bytes, static_cast<std::uint32_t>(architectures.size()));
  std::vector<std::string> slices;
  std::uint32_t offset = page;
  for (const auto& name : architectures) {
    const auto architecture = lookup(name);
    slices.push_back(thin(architecture));
    putBigEndian(bytes, architecture.cpuType);
    putBigEndian(bytes, architecture.cpuSubtype);
    putBigEndian(bytes, offset);
    putBigEndian(bytes, static_cast<std::uint32_t>(slices.back().size()));
    putBigEndian(bytes, alignment);
    offset += page;
  }
  for (const auto& slice : slices) {
    bytes.resize((bytes.size() + page - 1) / page * page, '\0');
    bytes += slice;
  }
  return bytes;
}

std::string MachOFile::describe(const Header& header) {
  std::string names;
  for (const auto& slice : header.slices) {
    if (!names.empty()) names += ' ';
    names += slice.architecture;
  }
  return std::string("Mach-O ") + (header.universal ? "universal" : "thin") + " (" + names + ")";
}

} // namespace macsim
