#include "core/Support/SHA256.hpp"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "core/Support/Error.hpp"

namespace halyard {

namespace {
constexpr const char* domain = "Halyard.sha256";

class Digest {
public:
  Digest() { sha256_init(&context_); }

  void update(const void* data, std::size_t length) {
    sha256_update(&context_, length, static_cast<const std::uint8_t*>(data));
  }

  std::string hexFinal() {
    std::array<std::uint8_t, SHA256_DIGEST_SIZE> bytes{};
    sha256_digest(&context_, bytes.size(), bytes.data());
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * bytes.size());
    for (const std::uint8_t byte : bytes) {
      text += hex[byte >> 4];
      text += hex[byte & 0x0F];
    }
    return text;
  }

private:
  sha256_ctx context_{};
};
} // namespace

std::string SHA256::hexDigest(std::string_view data) {
  Digest digest;
  digest.update(data.data(), data.size());
  return digest.hexFinal();
}

std::string SHA256::hexDigestOfFile(const std::filesystem::path& file) {
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    const int error = errno;
    throw Error(domain, error, "Could not open " + file.string() + ": " + std::strerror(error));
  }
  struct Closer {
    int descriptor;
    ~Closer() { ::close(descriptor); }
  } closer{descriptor};

  Digest digest;
  std::array<char, 1 << 16> buffer{};
  for (;;) {
    const ssize_t count = ::read(descriptor, buffer.data(), buffer.size());
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      throw Error(domain, error, "Could not read " + file.string() + ": " + std::strerror(error));
    }
    digest.update(buffer.data(), static_cast<std::size_t>(count));
  }
  return digest.hexFinal();
}

} // namespace halyard
