#include "NotaryCredentials.hpp"

#include "Files.hpp"
#include "Keychain.hpp"
#include "Knobs.hpp"
#include "ToolFailure.hpp"

#include "PrivateKeyPEM.hpp"

namespace macsim {

namespace {

bool holdsPrivateKey(const std::string& bytes) {
  return PrivateKeyPEM::isPrivateKey(bytes);
}

} // namespace

std::string NotaryCredentials::offlineError() {
  return "Error: Error Domain=NSURLErrorDomain Code=-1009 \"The Internet connection appears to "
         "be offline.\"";
}

bool NotaryCredentials::consume(const std::vector<std::string>& arguments, size_t& i) {
  const std::string& argument = arguments[i];
  std::optional<std::string>* target = nullptr;
  if (argument == "--keychain-profile" || argument == "-p")
    target = &keychainProfile;
  else if (argument == "--key" || argument == "-k")
    target = &keyPath;
  else if (argument == "--key-id" || argument == "-d")
    target = &keyID;
  else if (argument == "--issuer" || argument == "-i")
    target = &issuer;
  else if (argument == "--apple-id")
    target = &appleID;
  else if (argument == "--team-id")
    target = &teamID;
  else if (argument == "--password")
    target = &password;
  else if (argument == "--keychain") {
    if (i + 1 < arguments.size()) ++i;
    return true;
  } else
    return false;
  if (i + 1 >= arguments.size())
    throw ToolFailure("Error: Missing value for '" + argument + " <value>'", 64);
  *target = arguments[++i];
  return true;
}

void NotaryCredentials::check(const StateStore& store) const {
  if (keychainProfile) {
    if (!Keychain(store).profile(*keychainProfile))
      throw ToolFailure("Error: No Keychain password item found for profile: " + *keychainProfile);
    return;
  }
  if (keyPath) {
    if (!keyID) throw ToolFailure("Error: --key-id is required when --key is given.", 64);
    std::string bytes;
    try {
      bytes = Files::read(*keyPath);
    } catch (const std::exception&) {
      throw ToolFailure("Error: The API key file could not be found at \"" + *keyPath + "\".");
    }
    if (!holdsPrivateKey(bytes))
      throw ToolFailure("Error: The file at \"" + *keyPath +
                        "\" is not a valid App Store Connect API private key.");
    return;
  }
  if (appleID) {
    if (!teamID || !password)
      throw ToolFailure("Error: --apple-id requires --team-id and --password.", 64);
    return;
  }
  throw ToolFailure("Error: No authentication was provided. Use --keychain-profile, --key with "
                    "--key-id and --issuer, or --apple-id with --team-id and --password.",
                    64);
}

} // namespace macsim
