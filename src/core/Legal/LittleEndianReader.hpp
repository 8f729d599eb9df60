#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace halyard {

// Little-endian fields of untrusted bytes, read at checked offsets: a field that does not lie
// wholly inside the bytes is nothing.
class LittleEndianReader {
public:
  explicit LittleEndianReader(std::string_view bytes) : bytes_(bytes) {}
  bool has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  std::optional<std::uint32_t> u8(std::uint64_t offset) const { return field(offset, 1); }
  std::optional<std::uint32_t> u16(std::uint64_t offset) const { return field(offset, 2); }
  std::optional<std::uint32_t> u32(std::uint64_t offset) const { return field(offset, 4); }

private:
  std::string_view bytes_;
  std::optional<std::uint32_t> field(std::uint64_t offset, int size) const {
    if (!has(offset, static_cast<std::uint64_t>(size))) return std::nullopt;
    std::uint32_t value = 0;
    for (int index = size - 1; index >= 0; --index)
      value =
          (value << 8) | static_cast<unsigned char>(bytes_[offset + static_cast<unsigned>(index)]);
    return value;
  }
};

} // namespace halyard
