#include "Digest.hpp"

#include <array>
#include <fstream>
#include <memory>
#include <openssl/evp.h>
#include <stdexcept>

namespace macsim {

namespace {

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

std::string hex(const unsigned char* bytes, unsigned int length) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    text.push_back(digits[bytes[i] >> 4]);
    text.push_back(digits[bytes[i] & 0x0F]);
  }
  return text;
}

std::string digestOf(const EVP_MD* method, std::string_view bytes) {
  Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  std::array<unsigned char, EVP_MAX_MD_SIZE> result{};
  unsigned int length = 0;
  EVP_DigestInit_ex(context.get(), method, nullptr);
  EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
  EVP_DigestFinal_ex(context.get(), result.data(), &length);
  return hex(result.data(), length);
}

std::string digestOfFile(const EVP_MD* method, const std::filesystem::path& path,
                         std::uint64_t length) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error(path.string() + ": cannot be read");
  Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), method, nullptr);
  std::array<char, 65536> buffer{};
  std::uint64_t remaining = length;
  while (remaining > 0 && stream) {
    const auto wanted = static_cast<std::streamsize>(
        std::min<std::uint64_t>(remaining, static_cast<std::uint64_t>(buffer.size())));
    stream.read(buffer.data(), wanted);
    const auto got = stream.gcount();
    if (got <= 0) break;
    EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(got));
    remaining -= static_cast<std::uint64_t>(got);
  }
  std::array<unsigned char, EVP_MAX_MD_SIZE> result{};
  unsigned int size = 0;
  EVP_DigestFinal_ex(context.get(), result.data(), &size);
  return hex(result.data(), size);
}

} // namespace

std::string Digest::sha256(std::string_view bytes) {
  return digestOf(EVP_sha256(), bytes);
}
std::string Digest::sha1(std::string_view bytes) {
  return digestOf(EVP_sha1(), bytes);
}

std::string Digest::sha256OfFile(const std::filesystem::path& path, std::uint64_t length) {
  return digestOfFile(EVP_sha256(), path, length);
}

std::string Digest::sha1OfFile(const std::filesystem::path& path) {
  return digestOfFile(EVP_sha1(), path, std::numeric_limits<std::uint64_t>::max());
}

} // namespace macsim
