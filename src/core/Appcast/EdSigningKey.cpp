#include "core/Appcast/EdSigningKey.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/Appcast/AppcastFunctions.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/Base64.hpp"
#include "core/Support/RegularFileReader.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace fs = std::filesystem;

namespace {

// Overwrites secret bytes in a way the compiler may not leave out.
void wipeBytes(void* bytes, std::size_t size) noexcept {
  volatile auto* pointer = static_cast<volatile unsigned char*>(bytes);
  while (size-- > 0)
    *pointer++ = 0;
}

// A string holding secret bytes, wiped when it goes.
struct SecretText {
  std::string bytes;
  ~SecretText() { wipeBytes(bytes.data(), bytes.size()); }
};

[[noreturn]] void malformed() {
  throw EdSigningKeyError(EdSigningKeyError::Kind::malformed,
                          "The Ed25519 key is not Base64 of a 32-byte private key (or of the "
                          "64-byte form: private key and its public key).");
}

[[noreturn]] void readError(const fs::path& file, int error) {
  throw Error("Halyard.edSignature", error,
              "Could not read " + file.string() + " to sign it: " + std::strerror(error));
}

} // namespace

EdSigningKey EdSigningKey::fromBase64(std::string_view text) {
  SecretText trimmed{text::trimmed(text)};
  const auto decoded = Base64::decoded(trimmed.bytes);
  if (!decoded) malformed();
  SecretText bytes{*decoded};
  if (bytes.bytes.size() != 32 && bytes.bytes.size() != 64) malformed();
  EdSigningKey key;
  std::memcpy(key.seed_.data(), bytes.bytes.data(), 32);
  AppcastFunctions::current().edPublicKey(key.public_.data(), key.seed_.data());
  if (bytes.bytes.size() == 64 &&
      std::memcmp(bytes.bytes.data() + 32, key.public_.data(), key.public_.size()) != 0)
    malformed();
  return key;
}

bool EdSigningKey::isKeyText(std::string_view text) {
  try {
    fromBase64(text);
    return true;
  } catch (const EdSigningKeyError&) {
    return false;
  }
}

EdSigningKey EdSigningKey::fromFile(const fs::path& file) {
  SecretText contents;
  try {
    contents.bytes = RegularFileReader::read(file, maximumFileSize);
  } catch (const Error& error) {
    throw EdSigningKeyError(EdSigningKeyError::Kind::unreadable, error.what());
  }
  return fromBase64(contents.bytes);
}

EdSigningKey EdSigningKey::fromKeychain() {
  SecretText password;
  try {
    password.bytes = CoreCommand::captureData(
        AppleTools::security,
        {"find-generic-password", "-s", keychainService, "-a", keychainAccount, "-w"},
        AppleTools::quickQueryLimit);
  } catch (const CoreCommandError& error) {
    // 44: errSecItemNotFound. The failure's text is the tool's message; the key is never in it.
    if (error.code() == 44)
      throw EdSigningKeyError(EdSigningKeyError::Kind::notInKeychain,
                              "The login keychain has no Ed25519 update key.");
    throw EdSigningKeyError(EdSigningKeyError::Kind::keychainFailed, error.what());
  }
  return fromBase64(password.bytes);
}

EdSigningKey::EdSigningKey(EdSigningKey&& other) noexcept
    : seed_(other.seed_), public_(other.public_) {
  other.wipe();
}

EdSigningKey& EdSigningKey::operator=(EdSigningKey&& other) noexcept {
  if (this != &other) {
    seed_ = other.seed_;
    public_ = other.public_;
    other.wipe();
  }
  return *this;
}

EdSigningKey::~EdSigningKey() {
  wipe();
}

void EdSigningKey::wipe() noexcept {
  wipeBytes(seed_.data(), seed_.size());
}

std::string EdSigningKey::publicKey() const {
  return {reinterpret_cast<const char*>(public_.data()), public_.size()};
}

std::string EdSigningKey::sign(std::string_view message) const {
  std::array<std::uint8_t, 64> signature{};
  AppcastFunctions::current().edSign(public_.data(), seed_.data(), message.size(),
                                     reinterpret_cast<const std::uint8_t*>(message.data()),
                                     signature.data());
  return {reinterpret_cast<const char*>(signature.data()), signature.size()};
}

std::string EdSigningKey::signFile(const fs::path& file) const {
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) readError(file, errno);
  struct Closer {
    int descriptor;
    ~Closer() { ::close(descriptor); }
  } closer{descriptor};
  struct stat info {};
  if (::fstat(descriptor, &info) != 0) readError(file, errno);
  if (!S_ISREG(info.st_mode)) readError(file, EINVAL);
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size == 0) return sign({});
  // Ed25519 hashes the whole message twice, so it is mapped rather than read into memory.
  void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
  if (mapped == MAP_FAILED) readError(file, errno);
  ::madvise(mapped, size, MADV_SEQUENTIAL);
  std::string signature = sign({static_cast<const char*>(mapped), size});
  ::munmap(mapped, size);
  return signature;
}

} // namespace halyard
