#pragma once

#include "StateStore.hpp"

#include <optional>
#include <string>
#include <vector>

namespace macsim {

struct SigningIdentity {
  std::string name; // "Developer ID Application: Example Corp (A1B2C3D4E5)"
  std::string hash; // 40 upper-case hexadecimal digits, as security prints it
  std::string teamIdentifier;
  std::string created; // ISO 8601, UTC
  std::string expires;

  // The certificate type: the part of the name before the first colon.
  std::string kind() const;
  bool isExpired() const;
  bool canSignCode() const;
  bool canSignInstallers() const;
  bool isDeveloperIDApplication() const { return kind() == "Developer ID Application"; }
  bool isDeveloperIDInstaller() const { return kind() == "Developer ID Installer"; }
};

struct NotaryProfile {
  std::string name;
  std::string appleID;
  std::string teamID;
};

// The login keychain of the stand-in Mac: signing identities and notarytool profiles, kept in
// var/macsim/keychain.json. No secret is ever stored.
class Keychain {
public:
  enum class Purpose { codeSigning, installerSigning };

  explicit Keychain(const StateStore& store) : store_(store) {}

  std::vector<SigningIdentity> identities() const;
  SigningIdentity addIdentity(const std::string& name, const std::optional<std::string>& team,
                              const std::optional<std::string>& hash, bool expired) const;
  // Removes every identity with this name or hash; returns how many went.
  int removeIdentity(const std::string& nameOrHash) const;

  // The identity `codesign --sign` or `productsign --sign` chooses for `query`: a 40-digit hash,
  // the full name, or a unique part of the name. Throws ToolFailure with the tool's wording.
  SigningIdentity find(const std::string& query, Purpose purpose, const std::string& tool) const;

  std::vector<NotaryProfile> profiles() const;
  std::optional<NotaryProfile> profile(const std::string& name) const;
  void addProfile(const NotaryProfile& profile) const;
  bool removeProfile(const std::string& name) const;

  // The team identifier in the trailing parentheses of an identity name, if any.
  static std::optional<std::string> teamInName(const std::string& name);

private:
  const StateStore& store_;
};

} // namespace macsim
