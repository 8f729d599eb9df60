#include "GenericPasswords.hpp"
#include "Keychain.hpp"
#include "Knobs.hpp"
#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <cstdio>
#include <cstdlib>
#include <optional>

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

// The options of the generic-password commands: -s service, -a account, -w [password] (a value
// for add, a flag for find), -U (add: replace an existing item).
struct GenericPasswordOptions {
  std::optional<std::string> service, account, password;
  bool printPassword = false, replace = false;
};

GenericPasswordOptions genericPasswordOptions(const std::string& command,
                                              const std::vector<std::string>& arguments) {
  GenericPasswordOptions options;
  const bool adding = command == "add-generic-password";
  for (size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= arguments.size())
        throw ToolFailure(
            "security: " + command + ": option requires an argument -- " + argument.substr(1), 2);
      return arguments[++i];
    };
    if (argument == "-s")
      options.service = value();
    else if (argument == "-a")
      options.account = value();
    else if (argument == "-w" && adding)
      options.password = value();
    else if (argument == "-w")
      options.printPassword = true;
    else if (argument == "-U" && adding)
      options.replace = true;
    else if (argument == "-l" || argument == "-D" || argument == "-j" || argument == "-c" ||
             argument == "-C" || argument == "-G" || argument == "-T")
      value(); // label, kind, comment, creator, type, generic attribute, application: not kept
    else
      throw ToolFailure("security: " + command + ": illegal option " + argument, 2);
  }
  return options;
}

// `security add-generic-password -s SERVICE -a ACCOUNT -w PASSWORD [-U]`.
int addGenericPassword(const ToolContext& context, const std::vector<std::string>& arguments) {
  const auto options = genericPasswordOptions("add-generic-password", arguments);
  if (Knobs::keychainLocked())
    throw ToolFailure("security: SecKeychainItemCreateFromContent (<default>): User interaction "
                      "is not allowed.",
                      36);
  StateStore store(context.stateFolder());
  if (!GenericPasswords(store).add(options.service.value_or(""), options.account.value_or(""),
                                   options.password.value_or(""), options.replace))
    throw ToolFailure("security: SecKeychainItemCreateFromContent (<default>): The specified item "
                      "already exists in the keychain.",
                      45);
  return 0;
}

// `security find-generic-password [-s SERVICE] [-a ACCOUNT] [-w]`: with -w only the password on
// standard output, otherwise the item's keychain, class and attributes.
int findGenericPassword(const ToolContext& context, const std::vector<std::string>& arguments) {
  const auto options = genericPasswordOptions("find-generic-password", arguments);
  if (Knobs::keychainLocked())
    throw ToolFailure("security: SecKeychainSearchCopyNext: User interaction is not allowed.", 36);
  StateStore store(context.stateFolder());
  const auto item = GenericPasswords(store).find(options.service, options.account);
  if (!item)
    throw ToolFailure("security: SecKeychainSearchCopyNext: The specified item could not be found "
                      "in the keychain.",
                      44);
  if (options.printPassword) {
    Output::out(item->password + "\n");
    return 0;
  }
  Output::out("keychain: \"" + (context.stateFolder() / "keychain.json").string() +
              "\"\nversion: 512\nclass: \"genp\"\nattributes:\n    \"acct\"<blob>=\"" +
              item->account + "\"\n    \"svce\"<blob>=\"" + item->service + "\"\n");
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
  if (command == "add-generic-password")
    return addGenericPassword(context, {context.arguments.begin() + 1, context.arguments.end()});
  if (command == "find-generic-password")
    return findGenericPassword(context, {context.arguments.begin() + 1, context.arguments.end()});
  throw ToolFailure("security: unknown command \"" + command + "\"", 2);
}

} // namespace macsim
