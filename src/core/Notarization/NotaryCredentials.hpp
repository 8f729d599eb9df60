#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/Support/Error.hpp"

namespace halyard {

// How notarytool authenticates with the notary service: a profile stored in the user's keychain
// or an App Store Connect API key. Only names and paths are held here, never a secret: the
// profile's password stays in the keychain and the key stays in its file.
class NotaryCredentials {
public:
  struct KeychainProfile {
    std::string name;
    bool operator==(const KeychainProfile&) const = default;
  };
  struct APIKey {
    std::string keyPath; // the private key file (.p8)
    std::string keyID;
    std::optional<std::string> issuer;
    bool operator==(const APIKey&) const = default;
  };

  static NotaryCredentials keychainProfile(std::string name);
  static NotaryCredentials apiKey(std::string keyPath, std::string keyID,
                                  std::optional<std::string> issuer = std::nullopt);

  const std::variant<KeychainProfile, APIKey>& value() const { return value_; }

  // The authentication arguments of a notarytool command line.
  std::vector<std::string> arguments() const;

  // `keychain profile "NAME"` or `App Store Connect API key KEYID`.
  std::string displayName() const;

  // A profile whose name is blank, or a key without path or ID: nothing to authenticate with.
  bool isEmpty() const;

  // Whether the notary service accepts the credentials, found by listing the submission history
  // (which needs working credentials and nothing else). Never throws: a refusal carries the tool's
  // own explanation as the message.
  struct Validation {
    bool valid = false;
    std::string message;
    bool timedOut = false; // notarytool gave no answer within validationTimeLimit
  };
  static constexpr double validationTimeLimit = 120;
  Validation validate() const;

  // Why storeProfile stored nothing: notarytool's exit status (-1: it could not be started).
  class StoreError : public Error {
  public:
    static constexpr const char* domainName = "Halyard.notaryCredentials";
    explicit StoreError(int status);
    int status() const { return code(); }
  };
  // Stores a keychain profile with `xcrun notarytool store-credentials NAME [--apple-id EMAIL]
  // [--team-id ID]` (absent or empty values left out), run on this process's terminal (standard
  // input, output and error inherited) so that notarytool asks for what is missing, the password
  // among it, itself; no time limit. Returns the profile; throws StoreError unless notarytool
  // exits 0.
  static NotaryCredentials storeProfile(const std::string& name,
                                        const std::optional<std::string>& appleID,
                                        const std::optional<std::string>& teamID);

  bool operator==(const NotaryCredentials&) const = default;

private:
  explicit NotaryCredentials(std::variant<KeychainProfile, APIKey> value)
      : value_(std::move(value)) {}

  std::variant<KeychainProfile, APIKey> value_;
};

} // namespace halyard
