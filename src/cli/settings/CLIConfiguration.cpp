#include "cli/settings/CLIConfiguration.hpp"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

#include <nlohmann/json.hpp>

#include "cli/settings/SettingDefinition.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {

using TextMember = std::optional<std::string> CLIConfiguration::*;
using BoolMember = std::optional<bool> CLIConfiguration::*;
using CountMember = std::optional<int> CLIConfiguration::*;

// One entry per setting; the key is also the JSON member name.
struct Member {
  std::string_view key;
  TextMember text = nullptr;
  BoolMember boolean = nullptr;
  CountMember count = nullptr;
};

constexpr std::array<Member, 25> members{{
    {"identity", &CLIConfiguration::identity},
    {"installerIdentity", &CLIConfiguration::installerIdentity},
    {"keychainProfile", &CLIConfiguration::keychainProfile},
    {"apiKeyPath", &CLIConfiguration::apiKeyPath},
    {"apiKeyID", &CLIConfiguration::apiKeyID},
    {"apiIssuer", &CLIConfiguration::apiIssuer},
    {"format", &CLIConfiguration::format},
    {"output", &CLIConfiguration::output},
    {"window", &CLIConfiguration::window},
    {"compression", &CLIConfiguration::compression},
    {"arrow", &CLIConfiguration::arrow},
    {"sign", nullptr, &CLIConfiguration::sign},
    {"notarize", nullptr, &CLIConfiguration::notarize},
    {"notaryWait", &CLIConfiguration::notaryWait},
    {"notarizeApp", nullptr, &CLIConfiguration::notarizeApp},
    {"appBundle", &CLIConfiguration::appBundle},
    {"skipMissingTicket", nullptr, &CLIConfiguration::skipMissingTicket},
    {"deepVerify", nullptr, &CLIConfiguration::deepVerify},
    {"signingJobs", nullptr, nullptr, &CLIConfiguration::signingJobs},
    {"modernDiskTools", nullptr, &CLIConfiguration::modernDiskTools},
    {"reversed", nullptr, &CLIConfiguration::reversed},
    {"volumeIcon", nullptr, &CLIConfiguration::volumeIcon},
    {"appcast", &CLIConfiguration::appcast},
    {"downloadURL", &CLIConfiguration::downloadURL},
    {"edKeyFile", &CLIConfiguration::edKeyFile},
}};

const Member* memberNamed(std::string_view key) {
  for (const Member& member : members) {
    if (member.key == key) return &member;
  }
  return nullptr;
}

// Thrown from the parser callback to stop at the first level that is too deep.
struct NestingTooDeep {};

// The parser's message without the library's "[json.exception.parse_error.101] " prefix.
std::string parserMessage(const std::string& what) {
  const auto close = what.find("] ");
  return close == std::string::npos ? what : what.substr(close + 2);
}

} // namespace

CLIConfiguration CLIConfiguration::decode(std::string_view bytes) {
  if (bytes.size() > maximumDocumentSize) {
    throw CodingError("The file is larger than " + std::to_string(maximumDocumentSize / 1024) +
                      " KB.");
  }
  if (!halyard::text::isValidUTF8(bytes)) throw CodingError("The file is not UTF-8 text.");

  nlohmann::json document;
  try {
    document =
        nlohmann::json::parse(bytes.begin(), bytes.end(),
                              [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
                                // `depth` counts the containers around the one that starts.
                                const bool opens =
                                    event == nlohmann::json::parse_event_t::object_start ||
                                    event == nlohmann::json::parse_event_t::array_start;
                                if (opens && depth >= maximumNestingDepth) throw NestingTooDeep{};
                                return true;
                              });
  } catch (const NestingTooDeep&) {
    throw CodingError("The JSON is nested more than " + std::to_string(maximumNestingDepth) +
                      " levels deep.");
  } catch (const nlohmann::json::exception& error) {
    throw CodingError("The file is not valid JSON: " + parserMessage(error.what()));
  }
  if (!document.is_object()) throw CodingError("The file does not hold a JSON object.");

  CLIConfiguration configuration;
  for (const Member& member : members) {
    const auto found = document.find(member.key);
    if (found == document.end() || found->is_null()) continue;
    const std::string name(member.key);
    if (member.text != nullptr && found->is_number_unsigned() && name == "notaryWait") {
      configuration.*member.text = std::to_string(found->get<std::uint64_t>());
    } else if (member.text != nullptr) {
      if (!found->is_string()) throw CodingError("\"" + name + "\" must be a string.");
      configuration.*member.text = found->get<std::string>();
    } else if (member.count != nullptr) {
      if (!found->is_number_integer() || *found < std::numeric_limits<int>::min() ||
          *found > std::numeric_limits<int>::max()) {
        throw CodingError("\"" + name + "\" must be a whole number.");
      }
      configuration.*member.count = found->get<int>();
    } else {
      if (!found->is_boolean()) throw CodingError("\"" + name + "\" must be true or false.");
      configuration.*member.boolean = found->get<bool>();
    }
  }
  return configuration;
}

std::string CLIConfiguration::encoded() const {
  nlohmann::json document = nlohmann::json::object();
  for (const Member& member : members) {
    const std::string name(member.key);
    if (member.text != nullptr && this->*member.text) document[name] = *(this->*member.text);
    if (member.boolean != nullptr && this->*member.boolean) {
      document[name] = *(this->*member.boolean);
    }
    if (member.count != nullptr && this->*member.count) document[name] = *(this->*member.count);
  }
  try {
    return document.dump(2) + "\n";
  } catch (const nlohmann::json::exception&) {
    throw CodingError("A value is not UTF-8 text.");
  }
}

std::optional<std::string> CLIConfiguration::value(std::string_view key) const {
  const Member* member = memberNamed(key);
  if (member == nullptr) return std::nullopt;
  if (member->text != nullptr) return this->*member->text;
  if (member->count != nullptr) {
    const auto& number = this->*member->count;
    if (!number) return std::nullopt;
    return std::to_string(*number);
  }
  const auto& flag = this->*member->boolean;
  if (!flag) return std::nullopt;
  return *flag ? "true" : "false";
}

void CLIConfiguration::set(const std::optional<std::string>& value, std::string_view key) {
  const Member* member = memberNamed(key);
  if (member == nullptr) return;
  if (member->text != nullptr) {
    this->*member->text = value;
  } else if (member->count != nullptr) {
    this->*member->count = value ? parseWholeNumber(*value) : std::nullopt;
  } else {
    this->*member->boolean = value ? parseBool(*value) : std::nullopt;
  }
}

void CLIConfiguration::merge(const CLIConfiguration& other) {
  for (const SettingDefinition& setting : SettingDefinition::all()) {
    if (auto value = other.value(setting.key)) set(value, setting.key);
  }
}

bool CLIConfiguration::isEmpty() const {
  for (const Member& member : members) {
    if (value(member.key)) return false;
  }
  return true;
}

std::optional<bool> CLIConfiguration::parseBool(std::string_view text) {
  std::string word = halyard::text::trimmed(text);
  for (char& c : word) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (word == "1" || word == "true" || word == "yes" || word == "on") return true;
  if (word == "0" || word == "false" || word == "no" || word == "off") return false;
  return std::nullopt;
}

std::optional<int> CLIConfiguration::parseWholeNumber(std::string_view text) {
  const std::string digits = halyard::text::trimmed(text);
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || digits.front() == '-' || error != std::errc() ||
      end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  return number;
}

} // namespace bosun
