#include "core/Support/UUID.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <random>

namespace halyard {

std::string UUID::randomString() {
  std::random_device device; // the system's entropy source
  std::array<uint8_t, 16> bytes{};
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const uint32_t value = device();
    for (size_t k = 0; k < 4; ++k)
      bytes[i + k] = static_cast<uint8_t>(value >> (8 * k));
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

  std::string text;
  text.reserve(36);
  static constexpr char digits[] = "0123456789ABCDEF";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

} // namespace halyard
