#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace halyard {

struct AppcastItem;

// The update feed's XML (libxml2) and the Ed25519 arithmetic of update signatures (nettle's
// public-key half and GMP) as the rest of the library calls them. bosun loads them as the module
// bosun-appcast when it first reads a feed or an update-signing key; tests, utilities and the
// desktop app link them in.
struct AppcastFunctions {
  static constexpr const char* moduleName = "bosun-appcast";
  // The module's one exported function, returning its table; the suffix changes with the layout.
  static constexpr const char* entryName = "bosun_appcast_functions_v1";

  // AppcastDocument::check.
  void (*checkFeed)(const std::string& bytes, const std::string& name) = nullptr;
  // AppcastDocument::withItem.
  std::string (*feedWithItem)(const std::optional<std::string>& existing, const AppcastItem& item,
                              const std::string& channelTitle, const std::string& name) = nullptr;
  // The 32-byte public key of a 32-byte Ed25519 private key (its seed).
  void (*edPublicKey)(std::uint8_t* publicKey, const std::uint8_t* seed) = nullptr;
  // The 64-byte Ed25519 signature of `length` bytes at `message`.
  void (*edSign)(const std::uint8_t* publicKey, const std::uint8_t* seed, std::size_t length,
                 const std::uint8_t* message, std::uint8_t* signature) = nullptr;

  // The table in use: the code linked into the program, or the module's. Throws ModuleLoadError
  // when the module cannot be loaded.
  static const AppcastFunctions& current();
  // The code's own table (built only where that code is).
  static const AppcastFunctions& feedAndSignatures();
};

} // namespace halyard
