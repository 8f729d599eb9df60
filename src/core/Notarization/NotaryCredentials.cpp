#include "core/Notarization/NotaryCredentials.hpp"

#include <limits>

#include "core/Notarization/Notary.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/ProcessRunner.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

template <class... Handlers> struct Overloaded : Handlers... { using Handlers::operator()...; };
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;
} // namespace

NotaryCredentials NotaryCredentials::keychainProfile(std::string name) {
  return NotaryCredentials(KeychainProfile{std::move(name)});
}

NotaryCredentials NotaryCredentials::apiKey(std::string keyPath, std::string keyID,
                                            std::optional<std::string> issuer) {
  return NotaryCredentials(APIKey{std::move(keyPath), std::move(keyID), std::move(issuer)});
}

std::vector<std::string> NotaryCredentials::arguments() const {
  return std::visit(
      Overloaded{
          [](const KeychainProfile& profile) {
            return std::vector<std::string>{"--keychain-profile", profile.name};
          },
          [](const APIKey& key) {
            std::vector<std::string> arguments{"--key", key.keyPath, "--key-id", key.keyID};
            if (key.issuer && !key.issuer->empty()) {
              arguments.insert(arguments.end(), {"--issuer", *key.issuer});
            }
            return arguments;
          },
      },
      value_);
}

std::string NotaryCredentials::displayName() const {
  return std::visit(Overloaded{
                        [](const KeychainProfile& profile) {
                          return "keychain profile \"" + profile.name + "\"";
                        },
                        [](const APIKey& key) { return "App Store Connect API key " + key.keyID; },
                    },
                    value_);
}

bool NotaryCredentials::isEmpty() const {
  return std::visit(
      Overloaded{
          [](const KeychainProfile& profile) { return text::trimmed(profile.name).empty(); },
          [](const APIKey& key) { return key.keyPath.empty() || key.keyID.empty(); },
      },
      value_);
}

NotaryCredentials::Validation NotaryCredentials::validate() const {
  // The history itself is not needed: listing it only works with accepted credentials.
  const ToolProcessResult result =
      Notary::history(*this, {AppleTools::Runner::shared, validationTimeLimit});
  if (result.succeeded()) return {true, "Accepted by Apple"};
  std::string message = text::trimmed(result.combined());
  if (message.empty()) message = "notarytool could not use these credentials.";
  return {false, std::move(message), result.status == ToolProcessResult::timedOutStatus};
}

NotaryCredentials::StoreError::StoreError(int status)
    : Error(domainName, status,
            "notarytool store-credentials exited with status " + std::to_string(status) + ".") {}

NotaryCredentials NotaryCredentials::storeProfile(const std::string& name,
                                                  const std::optional<std::string>& appleID,
                                                  const std::optional<std::string>& teamID) {
  // On this process's terminal, with no time limit: notarytool prompts and waits for the user.
  const auto onTerminal = [](const char* executable, const std::vector<std::string>& arguments) {
    auto request = AppleTools::request(AppleTools::Runner::shared, executable, arguments,
                                       std::numeric_limits<double>::infinity());
    request.inheritStandardStreams = true;
    return ProcessRunner::run(request);
  };
  const auto result = Notary::storeCredentials(name, appleID, teamID, onTerminal);
  if (!result.succeeded()) throw StoreError(result.status);
  return keychainProfile(name);
}

} // namespace halyard
