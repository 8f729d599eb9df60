#include "CodeSignature.hpp"

#include "Digest.hpp"
#include "PropertyList.hpp"

namespace macsim {

namespace {

nlohmann::json optionalText(const std::optional<std::string>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

std::optional<std::string> textOrNone(const nlohmann::json& json, const char* key) {
  auto item = json.find(key);
  if (item == json.end() || !item->is_string()) return std::nullopt;
  return item->get<std::string>();
}

nlohmann::json recordOf(const CodeSignature& signature) {
  return {{"identifier", signature.identifier},
          {"format", signature.format},
          {"authority", optionalText(signature.authority)},
          {"team", optionalText(signature.teamIdentifier)},
          {"identityHash", signature.identityHash},
          {"flags", signature.optionFlags},
          {"timestamp", optionalText(signature.timestamp)},
          {"signingTime", signature.signingTime},
          {"entitlements", optionalText(signature.entitlements)},
          {"codeDigest", signature.codeDigest},
          {"infoPlistDigest", signature.infoPlistDigest},
          {"resourcesDigest", signature.resourcesDigest},
          {"resourceCount", signature.resourceCount},
          {"infoEntries", signature.infoEntries}};
}

} // namespace

namespace {

struct NamedFlag {
  std::uint32_t bit;
  const char* name;
};

// codesign's names, in ascending bit order.
constexpr NamedFlag namedFlags[] = {{0x1, "host"},           {0x2, "adhoc"},
                                    {0x100, "hard"},         {0x200, "kill"},
                                    {0x400, "expires"},      {0x800, "restrict"},
                                    {0x1000, "enforcement"}, {0x2000, "library-validation"},
                                    {0x10000, "runtime"},    {0x20000, "linker-signed"}};

} // namespace

std::optional<std::uint32_t> CodeSignature::optionFlag(const std::string& name) {
  if (name == "library") return 0x2000;
  if (name == "adhoc" || name == "enforcement") return std::nullopt;
  for (const auto& flag : namedFlags)
    if (name == flag.name) return flag.bit;
  return std::nullopt;
}

std::string CodeSignature::flagsText() const {
  const std::uint32_t value = optionFlags | (isAdHoc() ? 0x2u : 0u);
  std::string names;
  for (const auto& flag : namedFlags)
    if ((value & flag.bit) != 0) names += (names.empty() ? "" : ",") + std::string(flag.name);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", value);
  return std::string(hex) + "(" + (names.empty() ? "none" : names) + ")";
}

std::string CodeSignature::cdhash() const {
  return Digest::sha256(
      recordOf(*this).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

bool CodeSignature::allowsDebugging() const {
  if (!entitlements) return false;
  auto list = PropertyList::parse(*entitlements);
  if (!list.isDictionary()) return false;
  plist_t item = plist_dict_get_item(list.node(), "com.apple.security.get-task-allow");
  if (item == nullptr || plist_get_node_type(item) != PLIST_BOOLEAN) return false;
  uint8_t value = 0;
  plist_get_bool_val(item, &value);
  return value != 0;
}

nlohmann::json CodeSignature::toJson() const {
  auto json = recordOf(*this);
  json["cdhash"] = cdhash();
  return json;
}

CodeSignature CodeSignature::fromJson(const nlohmann::json& json, bool& intact) {
  CodeSignature signature;
  signature.identifier = json.value("identifier", "");
  signature.format = json.value("format", "");
  signature.authority = textOrNone(json, "authority");
  signature.teamIdentifier = textOrNone(json, "team");
  signature.identityHash = json.value("identityHash", "");
  signature.optionFlags = json.value("flags", std::uint32_t{0});
  signature.timestamp = textOrNone(json, "timestamp");
  signature.signingTime = json.value("signingTime", "");
  signature.entitlements = textOrNone(json, "entitlements");
  signature.codeDigest = json.value("codeDigest", "");
  signature.infoPlistDigest = json.value("infoPlistDigest", "");
  signature.resourcesDigest = json.value("resourcesDigest", "");
  signature.resourceCount = json.value("resourceCount", 0);
  signature.infoEntries = json.value("infoEntries", 0);
  intact = json.value("cdhash", "") == signature.cdhash();
  return signature;
}

} // namespace macsim
