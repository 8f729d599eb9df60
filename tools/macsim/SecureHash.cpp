#include "SecureHash.hpp"

namespace macsim {

namespace {

constexpr std::array<std::uint32_t, 64> k256 = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<std::uint64_t, 80> k512 = {
    0x428a2f98d728ae22, 0x7137449123ef65cd, 0xb5c0fbcfec4d3b2f, 0xe9b5dba58189dbbc,
    0x3956c25bf348b538, 0x59f111f1b605d019, 0x923f82a4af194f9b, 0xab1c5ed5da6d8118,
    0xd807aa98a3030242, 0x12835b0145706fbe, 0x243185be4ee4b28c, 0x550c7dc3d5ffb4e2,
    0x72be5d74f27b896f, 0x80deb1fe3b1696b1, 0x9bdc06a725c71235, 0xc19bf174cf692694,
    0xe49b69c19ef14ad2, 0xefbe4786384f25e3, 0x0fc19dc68b8cd5b5, 0x240ca1cc77ac9c65,
    0x2de92c6f592b0275, 0x4a7484aa6ea6e483, 0x5cb0a9dcbd41fbd4, 0x76f988da831153b5,
    0x983e5152ee66dfab, 0xa831c66d2db43210, 0xb00327c898fb213f, 0xbf597fc7beef0ee4,
    0xc6e00bf33da88fc2, 0xd5a79147930aa725, 0x06ca6351e003826f, 0x142929670a0e6e70,
    0x27b70a8546d22ffc, 0x2e1b21385c26c926, 0x4d2c6dfc5ac42aed, 0x53380d139d95b3df,
    0x650a73548baf63de, 0x766a0abb3c77b2a8, 0x81c2c92e47edaee6, 0x92722c851482353b,
    0xa2bfe8a14cf10364, 0xa81a664bbc423001, 0xc24b8b70d0f89791, 0xc76c51a30654be30,
    0xd192e819d6ef5218, 0xd69906245565a910, 0xf40e35855771202a, 0x106aa07032bbd1b8,
    0x19a4c116b8d2d0c8, 0x1e376c085141ab53, 0x2748774cdf8eeb99, 0x34b0bcb5e19b48a8,
    0x391c0cb3c5c95a63, 0x4ed8aa4ae3418acb, 0x5b9cca4f7763e373, 0x682e6ff3d6b2b8a3,
    0x748f82ee5defb2fc, 0x78a5636f43172f60, 0x84c87814a1f0ab72, 0x8cc702081a6439ec,
    0x90befffa23631e28, 0xa4506cebde82bde9, 0xbef9a3f7b2c67915, 0xc67178f2e372532b,
    0xca273eceea26619c, 0xd186b8c721c0c207, 0xeada7dd6cde0eb1e, 0xf57d4f7fee6ed178,
    0x06f067aa72176fba, 0x0a637dc5a2c898a6, 0x113f9804bef90dae, 0x1b710b35131c471b,
    0x28db77f523047d84, 0x32caab7b40c72493, 0x3c9ebe0a15c9bebc, 0x431d67c49c100d4c,
    0x4cc5d4becb3e42b6, 0x597f299cfc657e2a, 0x5fcb6fab3ad6faec, 0x6c44198c4a475817};

constexpr std::uint32_t rotr32(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}
constexpr std::uint32_t rotl32(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}
constexpr std::uint64_t rotr64(std::uint64_t x, int n) {
  return (x >> n) | (x << (64 - n));
}

std::uint32_t load32(const unsigned char* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

std::uint64_t load64(const unsigned char* p) {
  return (std::uint64_t(load32(p)) << 32) | load32(p + 4);
}

} // namespace

SecureHash::SecureHash(Algorithm algorithm)
    : algorithm_(algorithm),
      blockSize_(algorithm == Algorithm::sha384 || algorithm == Algorithm::sha512 ? 128 : 64) {
  switch (algorithm) {
  case Algorithm::sha1:
    state32_ = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0, 0, 0, 0};
    break;
  case Algorithm::sha224:
    state32_ = {0xc1059ed8, 0x367cd507, 0x3070dd17, 0xf70e5939,
                0xffc00b31, 0x68581511, 0x64f98fa7, 0xbefa4fa4};
    break;
  case Algorithm::sha256:
    state32_ = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    break;
  case Algorithm::sha384:
    state64_ = {0xcbbb9d5dc1059ed8, 0x629a292a367cd507, 0x9159015a3070dd17, 0x152fecd8f70e5939,
                0x67332667ffc00b31, 0x8eb44a8768581511, 0xdb0c2e0d64f98fa7, 0x47b5481dbefa4fa4};
    break;
  case Algorithm::sha512:
    state64_ = {0x6a09e667f3bcc908, 0xbb67ae8584caa73b, 0x3c6ef372fe94f82b, 0xa54ff53a5f1d36f1,
                0x510e527fade682d1, 0x9b05688c2b3e6c1f, 0x1f83d9abfb41bd6b, 0x5be0cd19137e2179};
    break;
  }
}

void SecureHash::compress1(const unsigned char* block) {
  std::array<std::uint32_t, 80> w{};
  for (int i = 0; i < 16; ++i)
    w[i] = load32(block + 4 * i);
  for (int i = 16; i < 80; ++i)
    w[i] = rotl32(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  std::uint32_t a = state32_[0], b = state32_[1], c = state32_[2], d = state32_[3], e = state32_[4];
  for (int i = 0; i < 80; ++i) {
    std::uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5a827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ed9eba1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8f1bbcdc;
    } else {
      f = b ^ c ^ d;
      k = 0xca62c1d6;
    }
    const std::uint32_t temp = rotl32(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = rotl32(b, 30);
    b = a;
    a = temp;
  }
  state32_[0] += a;
  state32_[1] += b;
  state32_[2] += c;
  state32_[3] += d;
  state32_[4] += e;
}

void SecureHash::compress32(const unsigned char* block) {
  std::array<std::uint32_t, 64> w{};
  for (int i = 0; i < 16; ++i)
    w[i] = load32(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = rotr32(w[i - 15], 7) ^ rotr32(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = rotr32(w[i - 2], 17) ^ rotr32(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  auto v = state32_;
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t s1 = rotr32(v[4], 6) ^ rotr32(v[4], 11) ^ rotr32(v[4], 25);
    const std::uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const std::uint32_t t1 = v[7] + s1 + choice + k256[i] + w[i];
    const std::uint32_t s0 = rotr32(v[0], 2) ^ rotr32(v[0], 13) ^ rotr32(v[0], 22);
    const std::uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    const std::uint32_t t2 = s0 + majority;
    v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
  }
  for (int i = 0; i < 8; ++i)
    state32_[i] += v[i];
}

void SecureHash::compress64(const unsigned char* block) {
  std::array<std::uint64_t, 80> w{};
  for (int i = 0; i < 16; ++i)
    w[i] = load64(block + 8 * i);
  for (int i = 16; i < 80; ++i) {
    const std::uint64_t s0 = rotr64(w[i - 15], 1) ^ rotr64(w[i - 15], 8) ^ (w[i - 15] >> 7);
    const std::uint64_t s1 = rotr64(w[i - 2], 19) ^ rotr64(w[i - 2], 61) ^ (w[i - 2] >> 6);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  auto v = state64_;
  for (int i = 0; i < 80; ++i) {
    const std::uint64_t s1 = rotr64(v[4], 14) ^ rotr64(v[4], 18) ^ rotr64(v[4], 41);
    const std::uint64_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
    const std::uint64_t t1 = v[7] + s1 + choice + k512[i] + w[i];
    const std::uint64_t s0 = rotr64(v[0], 28) ^ rotr64(v[0], 34) ^ rotr64(v[0], 39);
    const std::uint64_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
    const std::uint64_t t2 = s0 + majority;
    v = {t1 + t2, v[0], v[1], v[2], v[3] + t1, v[4], v[5], v[6]};
  }
  for (int i = 0; i < 8; ++i)
    state64_[i] += v[i];
}

void SecureHash::compressBlock(const unsigned char* block) {
  if (algorithm_ == Algorithm::sha1)
    compress1(block);
  else if (blockSize_ == 64)
    compress32(block);
  else
    compress64(block);
}

void SecureHash::update(std::string_view bytes) {
  length_ += bytes.size();
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t remaining = bytes.size();
  if (buffered_ > 0) {
    const size_t take = std::min(remaining, blockSize_ - buffered_);
    std::copy(data, data + take, buffer_.begin() + static_cast<long>(buffered_));
    buffered_ += take;
    data += take;
    remaining -= take;
    if (buffered_ == blockSize_) {
      compressBlock(buffer_.data());
      buffered_ = 0;
    }
  }
  while (remaining >= blockSize_) {
    compressBlock(data);
    data += blockSize_;
    remaining -= blockSize_;
  }
  std::copy(data, data + remaining, buffer_.begin());
  buffered_ += remaining;
}

std::string SecureHash::finalHex() {
  const std::uint64_t bits = length_ * 8;
  const size_t lengthField = blockSize_ == 128 ? 16 : 8;
  std::string padding(1, static_cast<char>(0x80));
  const size_t used = (buffered_ + 1) % blockSize_;
  const size_t zeros = used <= blockSize_ - lengthField
                           ? blockSize_ - lengthField - used
                           : blockSize_ - used + blockSize_ - lengthField;
  padding.append(zeros + lengthField - 8, '\0');
  for (int shift = 56; shift >= 0; shift -= 8)
    padding.push_back(static_cast<char>((bits >> shift) & 0xFF));
  const std::uint64_t saved = length_;
  update(padding);
  length_ = saved;

  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  auto put = [&](std::uint64_t word, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
      const auto byte = static_cast<unsigned>((word >> (8 * i)) & 0xFF);
      hex.push_back(digits[byte >> 4]);
      hex.push_back(digits[byte & 0x0F]);
    }
  };
  switch (algorithm_) {
  case Algorithm::sha1:
    for (int i = 0; i < 5; ++i)
      put(state32_[i], 4);
    break;
  case Algorithm::sha224:
    for (int i = 0; i < 7; ++i)
      put(state32_[i], 4);
    break;
  case Algorithm::sha256:
    for (int i = 0; i < 8; ++i)
      put(state32_[i], 4);
    break;
  case Algorithm::sha384:
    for (int i = 0; i < 6; ++i)
      put(state64_[i], 8);
    break;
  case Algorithm::sha512:
    for (int i = 0; i < 8; ++i)
      put(state64_[i], 8);
    break;
  }
  return hex;
}

} // namespace macsim
