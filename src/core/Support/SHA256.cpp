#include "core/Support/SHA256.hpp"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "core/Support/Error.hpp"

namespace halyard {

namespace {
constexpr const char* domain = "Halyard.sha256";

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

class Digest {
public:
  Digest() : context_(EVP_MD_CTX_new()) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1)
      throw Error(domain, 0, "Could not start a SHA-256 digest.");
  }

  void update(const void* data, std::size_t length) {
    if (EVP_DigestUpdate(context_.get(), data, length) != 1)
      throw Error(domain, 0, "Could not update a SHA-256 digest.");
  }

  std::string hexFinal() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> bytes{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context_.get(), bytes.data(), &length) != 1)
      throw Error(domain, 0, "Could not finish a SHA-256 digest.");
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
      text += hex[bytes[i] >> 4];
      text += hex[bytes[i] & 0x0F];
    }
    return text;
  }

private:
  std::unique_ptr<EVP_MD_CTX, ContextFree> context_;
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
