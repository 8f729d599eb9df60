#include "Keychain.hpp"

#include "Clock.hpp"
#include "Digest.hpp"
#include "ToolFailure.hpp"
#include "UUID.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <regex>

namespace macsim {

namespace {

constexpr const char* documentName = "keychain.json";

nlohmann::json emptyKeychain() {
  return {{"identities", nlohmann::json::array()}, {"profiles", nlohmann::json::array()}};
}

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

SigningIdentity identityFrom(const nlohmann::json& item) {
  SigningIdentity identity;
  identity.name = item.value("name", "");
  identity.hash = item.value("hash", "");
  identity.teamIdentifier = item.value("team", "");
  identity.created = item.value("created", "");
  identity.expires = item.value("expires", "");
  return identity;
}

} // namespace

std::string SigningIdentity::kind() const {
  const auto colon = name.find(':');
  return colon == std::string::npos ? name : name.substr(0, colon);
}

bool SigningIdentity::isExpired() const {
  return expires <= Clock::isoNow();
}

bool SigningIdentity::canSignCode() const {
  static const std::array<const char*, 7> kinds = {"Developer ID Application",
                                                   "Apple Development",
                                                   "Apple Distribution",
                                                   "Mac Developer",
                                                   "3rd Party Mac Developer Application",
                                                   "iPhone Developer",
                                                   "iPhone Distribution"};
  return std::find(kinds.begin(), kinds.end(), kind()) != kinds.end();
}

bool SigningIdentity::canSignInstallers() const {
  static const std::array<const char*, 3> kinds = {
      "Developer ID Installer", "3rd Party Mac Developer Installer", "Mac Installer Distribution"};
  return std::find(kinds.begin(), kinds.end(), kind()) != kinds.end();
}

std::optional<std::string> Keychain::teamInName(const std::string& name) {
  static const std::regex pattern(R"(\(([A-Z0-9]{10})\)\s*$)");
  std::smatch match;
  if (std::regex_search(name, match, pattern)) return match[1].str();
  return std::nullopt;
}

std::vector<SigningIdentity> Keychain::identities() const {
  std::vector<SigningIdentity> result;
  const auto document = store_.read(documentName, emptyKeychain());
  for (const auto& item : document.value("identities", nlohmann::json::array()))
    result.push_back(identityFrom(item));
  return result;
}

SigningIdentity Keychain::addIdentity(const std::string& name,
                                      const std::optional<std::string>& team,
                                      const std::optional<std::string>& hash, bool expired) const {
  SigningIdentity identity;
  identity.name = name;
  identity.hash = upper(hash.value_or(Digest::sha1(name + "\n" + UUID::make())));
  identity.teamIdentifier =
      team.value_or(teamInName(name).value_or(upper(Digest::sha1(name)).substr(0, 10)));
  identity.created = Clock::isoNow();
  identity.expires = expired ? Clock::isoOffset(-86400) : Clock::isoOffset(5 * 365 * 86400);
  store_.update(documentName, emptyKeychain(), [&](nlohmann::json& document) {
    document["identities"].push_back({{"name", identity.name},
                                      {"hash", identity.hash},
                                      {"team", identity.teamIdentifier},
                                      {"created", identity.created},
                                      {"expires", identity.expires}});
  });
  return identity;
}

int Keychain::removeIdentity(const std::string& nameOrHash) const {
  int removed = 0;
  store_.update(documentName, emptyKeychain(), [&](nlohmann::json& document) {
    auto& list = document["identities"];
    nlohmann::json kept = nlohmann::json::array();
    for (const auto& item : list) {
      if (item.value("name", "") == nameOrHash || item.value("hash", "") == upper(nameOrHash))
        ++removed;
      else
        kept.push_back(item);
    }
    list = kept;
  });
  return removed;
}

SigningIdentity Keychain::find(const std::string& query, Purpose purpose,
                               const std::string& tool) const {
  std::vector<SigningIdentity> usable;
  for (const auto& identity : identities()) {
    const bool fits =
        purpose == Purpose::codeSigning ? identity.canSignCode() : identity.canSignInstallers();
    if (fits && !identity.isExpired()) usable.push_back(identity);
  }
  auto notFound = [&]() -> ToolFailure {
    if (purpose == Purpose::codeSigning) return ToolFailure(query + ": no identity found");
    return ToolFailure(tool + ": error: Could not find appropriate signing identity for \"" +
                       query +
                       "\". An installer signing identity (not an application signing "
                       "identity) is required for signing flat-style products.");
  };
  if (query.empty()) throw notFound();
  for (const auto& identity : usable)
    if (identity.hash == upper(query) || identity.name == query) return identity;
  std::vector<SigningIdentity> matches;
  for (const auto& identity : usable) {
    if (identity.name.find(query) == std::string::npos) continue;
    const bool seen = std::any_of(matches.begin(), matches.end(),
                                  [&](const auto& other) { return other.hash == identity.hash; });
    if (!seen) matches.push_back(identity);
  }
  if (matches.empty()) throw notFound();
  if (matches.size() > 1) {
    std::string message = query + ": ambiguous (matches \"" + matches[0].name + "\" and \"" +
                          matches[1].name + "\" in the login keychain)";
    if (purpose == Purpose::installerSigning)
      message = tool + ": error: Multiple identities match \"" + query + "\".";
    throw ToolFailure(message);
  }
  return matches.front();
}

std::vector<NotaryProfile> Keychain::profiles() const {
  std::vector<NotaryProfile> result;
  const auto document = store_.read(documentName, emptyKeychain());
  for (const auto& item : document.value("profiles", nlohmann::json::array()))
    result.push_back({item.value("name", ""), item.value("appleID", ""), item.value("teamID", "")});
  return result;
}

std::optional<NotaryProfile> Keychain::profile(const std::string& name) const {
  for (const auto& profile : profiles())
    if (profile.name == name) return profile;
  return std::nullopt;
}

void Keychain::addProfile(const NotaryProfile& profile) const {
  store_.update(documentName, emptyKeychain(), [&](nlohmann::json& document) {
    auto& list = document["profiles"];
    nlohmann::json kept = nlohmann::json::array();
    for (const auto& item : list)
      if (item.value("name", "") != profile.name) kept.push_back(item);
    kept.push_back(
        {{"name", profile.name}, {"appleID", profile.appleID}, {"teamID", profile.teamID}});
    list = kept;
  });
}

bool Keychain::removeProfile(const std::string& name) const {
  bool removed = false;
  store_.update(documentName, emptyKeychain(), [&](nlohmann::json& document) {
    auto& list = document["profiles"];
    nlohmann::json kept = nlohmann::json::array();
    for (const auto& item : list) {
      if (item.value("name", "") == name)
        removed = true;
      else
        kept.push_back(item);
    }
    list = kept;
  });
  return removed;
}

} // namespace macsim
