#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace halyard {

// A plain byte buffer, as the Finder file formats use it.
using Bytes = std::vector<std::uint8_t>;

// A growable buffer that appends unsigned integers most significant byte first, with no
// alignment. Every multi-byte integer of the .DS_Store container, of alias records and of icon
// locations is written through it.
struct BigEndianData {
  Bytes bytes;

  void append(std::uint32_t value);
  void append(std::uint64_t value);
  void appendUInt16(std::uint16_t value);
  void appendByte(std::uint8_t value);
  void appendBytes(const Bytes& data);
  void appendBytes(std::string_view data);
  // `count` zero bytes.
  void appendZeros(std::size_t count);

  std::size_t size() const { return bytes.size(); }
};

} // namespace halyard
