#include "core/Support/SHA256.hpp"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

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

std::string SHA256::hexDigestOfTree(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  if (!fs::is_directory(root)) return hexDigestOfFile(root);
  std::vector<fs::path> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it)
    entries.push_back(it->path());
  std::sort(entries.begin(), entries.end());
  // One line per entry: its kind, then its name after the name's length, so that no name (one
  // holding a line break, say) can make two different trees read alike.
  Digest digest;
  for (const auto& entry : entries) {
    const auto status = fs::symlink_status(entry);
    std::string line = entry.lexically_relative(root).generic_string();
    line.insert(0, std::to_string(line.size()) + ":");
    if (fs::is_symlink(status)) {
      line = "l " + line + " " + fs::read_symlink(entry).string();
    } else if (fs::is_directory(status)) {
      line = "d " + line;
    } else if (fs::is_regular_file(status)) {
      const bool executable = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
      line = (executable ? "x " : "f ") + line + " " + hexDigestOfFile(entry);
    } else {
      line = "o " + line;
    }
    line += '\n';
    digest.update(line.data(), line.size());
  }
  return digest.hexFinal();
}

} // namespace halyard
