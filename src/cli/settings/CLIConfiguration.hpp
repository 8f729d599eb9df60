#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/Support/Error.hpp"

namespace bosun {

// The JSON document of the user config file and of the project file bosun.json. Every member is
// optional and named after its setting's key; text settings are JSON strings, boolean settings
// JSON booleans, counts JSON whole numbers. Members not listed here are ignored when read. Secrets
// never appear: credentials are a keychain profile name or the path and ID of an API key file.
struct CLIConfiguration {
  // Thrown by decode() and encoded(); the description says what is wrong with the document.
  class CodingError : public halyard::Error {
  public:
    explicit CodingError(const std::string& description)
        : Error("Bosun.configuration", 1, description) {}
  };

  // Larger documents are refused before they are parsed; a config holds a few short strings.
  static constexpr std::size_t maximumDocumentSize = 1024 * 1024;
  // More containers inside one another are refused while parsing (our members need one).
  static constexpr int maximumNestingDepth = 64;

  std::optional<std::string> identity;
  std::optional<std::string> installerIdentity;
  std::optional<std::string> keychainProfile;
  std::optional<std::string> apiKeyPath;
  std::optional<std::string> apiKeyID;
  std::optional<std::string> apiIssuer;
  std::optional<std::string> format;
  std::optional<std::string> output;
  std::optional<std::string> window;
  std::optional<std::string> compression;
  std::optional<std::string> arrow;
  std::optional<bool> sign;
  std::optional<bool> notarize;
  std::optional<std::string> notaryWait; // a JSON number or its text
  std::optional<bool> notarizeApp;
  std::optional<std::string> appBundle;
  std::optional<bool> skipMissingTicket;
  std::optional<bool> deepVerify;
  std::optional<int> signingJobs;
  std::optional<bool> modernDiskTools;
  std::optional<bool> reversed;
  std::optional<bool> volumeIcon;
  std::optional<std::string> appcast;
  std::optional<std::string> downloadURL;
  std::optional<std::string> edKeyFile; // the path of the key file, never the key

  // Strict decoding: the bytes must be UTF-8 JSON holding one object, within the size and depth
  // limits, and every known member must have its JSON type (null counts as absent). Any other
  // document throws CodingError; nothing is partially decoded.
  static CLIConfiguration decode(std::string_view bytes);

  // Indented JSON with sorted keys, "/" not escaped, absent members left out, ending in a newline.
  // Throws CodingError when a value is not UTF-8 text.
  std::string encoded() const;

  // Text members as they are, boolean members as "true" or "false", counts in decimal; absent
  // members and keys that name no setting give no value.
  std::optional<std::string> value(std::string_view key) const;

  // The inverse of value(): boolean members take parseBool of the text, counts parseWholeNumber (a
  // text that does not parse, like an absent value, leaves the member absent). Unknown keys are
  // ignored.
  void set(const std::optional<std::string>& value, std::string_view key);

  // Every member that `other` has replaces this one's.
  void merge(const CLIConfiguration& other);

  bool isEmpty() const;

  // "1", "true", "yes", "on" are true and "0", "false", "no", "off" false, after trimming and
  // lower-casing; anything else is no value.
  static std::optional<bool> parseBool(std::string_view text);

  // Decimal digits only (after trimming), within the range of int; anything else is no value.
  static std::optional<int> parseWholeNumber(std::string_view text);

  bool operator==(const CLIConfiguration&) const = default;
};

} // namespace bosun
