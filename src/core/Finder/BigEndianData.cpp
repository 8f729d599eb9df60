#include "core/Finder/BigEndianData.hpp"

namespace halyard {

void BigEndianData::append(std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void BigEndianData::append(std::uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

void BigEndianData::appendUInt16(std::uint16_t value) {
  bytes.push_back(static_cast<std::uint8_t>(value >> 8));
  bytes.push_back(static_cast<std::uint8_t>(value));
}

void BigEndianData::appendByte(std::uint8_t value) {
  bytes.push_back(value);
}

void BigEndianData::appendBytes(const Bytes& data) {
  bytes.insert(bytes.end(), data.begin(), data.end());
}

void BigEndianData::appendBytes(std::string_view data) {
  bytes.insert(bytes.end(), data.begin(), data.end());
}

void BigEndianData::appendZeros(std::size_t count) {
  bytes.insert(bytes.end(), count, 0);
}

} // namespace halyard
