#include "Keychain.hpp"
#include "Knobs.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <cstdio>
#include <cstdlib>

namespace macsim {

namespace {

std::string numbered(int index, const SigningIdentity& identity, bool showExpiry) {
  char prefix[16];
  std::snprintf(prefix, sizeof prefix, "%3d) ", index);
  std::string line = prefix + identity.hash + " \"" + identity.name + "\"";
  if (showExpiry && identity.isExpired()) line += " (CSSMERR_TP_CERT_EXPIRED)";
  return line + "\n";
}

int findIdentity(const ToolContext& context, const std::vector<std::string>& arguments) {
  bool validOnly = false;
  std::string policy;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    if (argument == "-v") {
      validOnly = true;
    } else if (argument == "-p") {
      if (i + 1 >= arguments.size())
        throw ToolFailure("security: find-identity: option requires an argument -- p", 2);
      policy = arguments[++i];
    } else if (argument == "-s") {
      ++i; // policy-specific string, accepted and not used
    } else if (!argument.empty() && argument[0] == '-') {
      throw ToolFailure("security: find-identity: illegal option " + argument, 2);
    }
  }
  std::string policyTitle;
  Keychain::Purpose purpose = Keychain::Purpose::codeSigning;
  bool everything = true;
  if (policy == "codesigning") {
    policyTitle = "Code Signing";
    everything = false;
  } else if (policy == "basic" || policy.empty()) {
    policyTitle = "X.509 Basic";
  } else {
    throw ToolFailure("security: SecPolicyCreateWithProperties: unknown policy \"" + policy + "\"",
                      1);
  }
  StateStore store(context.stateFolder());
  std::vector<SigningIdentity> matching;
  for (const auto& identity : Keychain(store).identities())
    if (everything || (purpose == Keychain::Purpose::codeSigning && identity.canSignCode()))
      matching.push_back(identity);

  std::string text;
  auto listValid = [&] {
    int index = 0;
    for (const auto& identity : matching)
      if (!identity.isExpired()) text += numbered(++index, identity, false);
    text += "     " + std::to_string(index) + " valid identities found\n";
  };
  if (validOnly) {
    listValid();
  } else {
    text += "\nPolicy: " + policyTitle + "\n  Matching identities\n";
    int index = 0;
    for (const auto& identity : matching)
      text += numbered(++index, identity, true);
    text += "     " + std::to_string(index) + " identities found\n\n  Valid identities only\n";
    listValid();
  }
  Output::out(text);
  return 0;
}

// `security show-keychain-info [KEYCHAIN]`: the lock settings of the login keychain, on standard
// error as the real tool prints them. A locked keychain cannot be read without the password
// prompt, which a tool run without a user session is not allowed to show.
// The login keychain is named by its file in the user's home, as on a Mac (the stand-in keeps its
// contents in var/macsim/keychain.json).
int showKeychainInfo(const std::vector<std::string>& arguments) {
  const char* home = std::getenv("HOME");
  const std::string login =
      std::string(home && *home ? home : "/var/root") + "/Library/Keychains/login.keychain-db";
  if (arguments.size() > 1)
    throw ToolFailure("Usage: show-keychain-info [keychain]\n"
                      "    Show the settings for keychain.",
                      2);
  std::string keychain = arguments.empty() ? login : arguments.front();
  if (keychain == "login.keychain" || keychain == "login.keychain-db") keychain = login;
  if (keychain != login)
    throw ToolFailure("security: SecKeychainCopySettings " + keychain +
                          ": The specified keychain could not be found.",
                      50);
  if (Knobs::keychainLocked())
    throw ToolFailure(
        "security: SecKeychainCopySettings " + keychain + ": User interaction is not allowed.", 36);
  Output::err("Keychain \"" + keychain + "\" no-timeout\n");
  return 0;
}

} // namespace

int runSecurity(const ToolContext& context) {
  if (context.arguments.empty())
    throw ToolFailure("usage: security [-h] [-i] [-l] [-p prompt] [-q] [-v] [command] "
                      "[opt ...]",
                      2);
  const std::string& command = context.arguments.front();
  if (command == "find-identity")
    return findIdentity(context, {context.arguments.begin() + 1, context.arguments.end()});
  if (command == "show-keychain-info")
    return showKeychainInfo({context.arguments.begin() + 1, context.arguments.end()});
  throw ToolFailure("security: unknown command \"" + command + "\"", 2);
}

} // namespace macsim
