#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/Support/Error.hpp"

namespace halyard {

// Why an update-signing key could not be had. The description never contains the key.
class EdSigningKeyError : public Error {
public:
  enum class Kind {
    malformed,      // not Base64 of a 32-byte seed or a 64-byte seed and public key
    unreadable,     // the key file is missing, not a regular file, too large or unreadable
    notInKeychain,  // the login keychain has no such item
    keychainFailed, // `security` failed otherwise (a locked keychain, a missing tool)
  };
  EdSigningKeyError(Kind kind, const std::string& description)
      : Error("Halyard.edSigningKey", static_cast<int>(kind), description), kind_(kind) {}
  Kind kind() const { return kind_; }

private:
  Kind kind_;
};

// An Ed25519 private key for signing update files (the updater checks the signature of a
// downloaded file's bytes against the public key the app carries). The key is held in this
// object only, and its bytes are wiped when it goes; nothing here prints, logs or writes it.
class EdSigningKey {
public:
  // The generic-password item the updater's key tool keeps the key in.
  static constexpr const char* keychainService = "https://sparkle-project.org";
  static constexpr const char* keychainAccount = "ed25519";
  // Key files hold a line of Base64; anything much longer is not one.
  static constexpr std::uintmax_t maximumFileSize = 4096;

  // Base64 (white space around it ignored) of the 32-byte seed, or of the 64-byte form: the seed
  // followed by its public key, which must be the one the seed gives. Throws EdSigningKeyError.
  static EdSigningKey fromBase64(std::string_view text);
  static EdSigningKey fromFile(const std::filesystem::path& file);
  // Whether the text is a key fromBase64 accepts (for example a key typed where its file's path
  // belongs, which must then never be shown).
  static bool isKeyText(std::string_view text);
  // `security find-generic-password -s SERVICE -a ACCOUNT -w` through the tool root.
  static EdSigningKey fromKeychain();

  EdSigningKey(const EdSigningKey&) = delete;
  EdSigningKey& operator=(const EdSigningKey&) = delete;
  EdSigningKey(EdSigningKey&& other) noexcept;
  EdSigningKey& operator=(EdSigningKey&& other) noexcept;
  ~EdSigningKey();

  // The 32-byte public key.
  std::string publicKey() const;
  // The 64-byte signature of the message.
  std::string sign(std::string_view message) const;
  // The signature of a regular file's bytes, read through a memory map. Throws halyard::Error
  // (domain "Halyard.edSignature") when the file cannot be read.
  std::string signFile(const std::filesystem::path& file) const;

private:
  EdSigningKey() = default;
  void wipe() noexcept;

  std::array<std::uint8_t, 32> seed_{};
  std::array<std::uint8_t, 32> public_{};
};

} // namespace halyard
