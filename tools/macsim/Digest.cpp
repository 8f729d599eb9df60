#include "Digest.hpp"

#include "SecureHash.hpp"

#include <array>
#include <fstream>
#include <stdexcept>

namespace macsim {

namespace {

std::string digestOfFile(SecureHash::Algorithm algorithm, const std::filesystem::path& path,
                         std::uint64_t length) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error(path.string() + ": cannot be read");
  SecureHash hash(algorithm);
  std::array<char, 65536> buffer{};
  std::uint64_t remaining = length;
  while (remaining > 0 && stream) {
    const auto wanted = static_cast<std::streamsize>(
        std::min<std::uint64_t>(remaining, static_cast<std::uint64_t>(buffer.size())));
    stream.read(buffer.data(), wanted);
    const auto got = stream.gcount();
    if (got <= 0) break;
    hash.update(std::string_view(buffer.data(), static_cast<size_t>(got)));
    remaining -= static_cast<std::uint64_t>(got);
  }
  return hash.finalHex();
}

} // namespace

std::string Digest::sha256(std::string_view bytes) {
  SecureHash hash(SecureHash::Algorithm::sha256);
  hash.update(bytes);
  return hash.finalHex();
}

std::string Digest::sha1(std::string_view bytes) {
  SecureHash hash(SecureHash::Algorithm::sha1);
  hash.update(bytes);
  return hash.finalHex();
}

std::string Digest::sha256OfFile(const std::filesystem::path& path, std::uint64_t length) {
  return digestOfFile(SecureHash::Algorithm::sha256, path, length);
}

std::string Digest::sha1OfFile(const std::filesystem::path& path) {
  return digestOfFile(SecureHash::Algorithm::sha1, path, std::numeric_limits<std::uint64_t>::max());
}

} // namespace macsim
