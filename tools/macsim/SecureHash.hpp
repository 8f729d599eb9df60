#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace macsim {

// SHA-1 and the SHA-2 family (FIPS 180-4), computed incrementally. The stand-ins keep their own
// implementation so that every tool starts without loading a cryptography library.
class SecureHash {
public:
  enum class Algorithm { sha1, sha224, sha256, sha384, sha512 };

  explicit SecureHash(Algorithm algorithm);
  void update(std::string_view bytes);
  // The digest in lower-case hexadecimal; the object is spent afterwards.
  std::string finalHex();

private:
  void compressBlock(const unsigned char* block);
  void compress32(const unsigned char* block);
  void compress64(const unsigned char* block);
  void compress1(const unsigned char* block);

  Algorithm algorithm_;
  size_t blockSize_;
  std::array<std::uint32_t, 8> state32_{};
  std::array<std::uint64_t, 8> state64_{};
  std::array<unsigned char, 128> buffer_{};
  size_t buffered_ = 0;
  std::uint64_t length_ = 0; // bytes hashed so far
};

} // namespace macsim
