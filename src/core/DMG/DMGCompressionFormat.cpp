#include "core/DMG/DMGCompressionFormat.hpp"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include <nlohmann/json.hpp>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

struct FormatFacts {
  std::string_view rawValue;
  std::string_view title;
  std::string_view udifFormat;
  std::string_view udifFormatLowerCased;
  std::string_view minimumSystem;
  std::string_view summary;
};

// Indexed by the enumeration's value.
constexpr std::array<FormatFacts, 3> facts{{
    {"zlib", "zlib", "UDZO", "udzo", "any Mac", "Opens on any Mac. The most compatible choice."},
    {"lzfse", "LZFSE", "ULFO", "ulfo", "macOS 10.11 or later",
     "Smaller than zlib and fastest to open. Needs macOS 10.11 or later."},
    {"lzma", "LZMA", "ULMO", "ulmo", "macOS 10.15 or later",
     "Smallest file, slower to build and open. Needs macOS 10.15 or later."},
}};

const FormatFacts& factsOf(DMGCompressionFormat format) {
  return facts[static_cast<size_t>(format)];
}

// Preference files are small; anything larger is not one.
constexpr std::streamoff maximumPreferencesSize = 16 * 1024 * 1024;

struct PlistDeleter {
  void operator()(plist_t node) const { plist_free(node); }
};

} // namespace

std::string_view rawValue(DMGCompressionFormat format) {
  return factsOf(format).rawValue;
}
std::string_view title(DMGCompressionFormat format) {
  return factsOf(format).title;
}
std::string_view udifFormat(DMGCompressionFormat format) {
  return factsOf(format).udifFormat;
}
std::string_view minimumSystem(DMGCompressionFormat format) {
  return factsOf(format).minimumSystem;
}
std::string_view summary(DMGCompressionFormat format) {
  return factsOf(format).summary;
}

std::vector<std::string> hdiutilArguments(DMGCompressionFormat format) {
  std::vector<std::string> arguments{"-format", std::string(udifFormat(format))};
  if (format == DMGCompressionFormat::zlib) {
    arguments.insert(arguments.end(), {"-imagekey", "zlib-level=9"});
  }
  return arguments;
}

std::optional<DMGCompressionFormat> DMGCompressionFormats::fromRawValue(std::string_view text) {
  for (DMGCompressionFormat format : allCases) {
    if (rawValue(format) == text) return format;
  }
  return std::nullopt;
}

std::optional<DMGCompressionFormat> DMGCompressionFormats::fromName(std::string_view text) {
  std::string name = text::trimmed(text);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (DMGCompressionFormat format : allCases) {
    if (factsOf(format).rawValue == name || factsOf(format).udifFormatLowerCased == name) {
      return format;
    }
  }
  return std::nullopt;
}

std::optional<DMGCompressionFormat>
DMGCompressionFormats::saved(const std::filesystem::path& preferencesFile) {
  std::ifstream in(preferencesFile, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > maximumPreferencesSize) return std::nullopt;
  in.seekg(0, std::ios::beg);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  plist_t parsed = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
  std::unique_ptr<void, PlistDeleter> root(parsed);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;

  const std::string key(preferenceKey);
  plist_t item = plist_dict_get_item(root.get(), key.c_str());
  if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(item, &value);
  if (value == nullptr) return std::nullopt;
  const std::string text(value);
  std::free(value);
  return fromRawValue(text);
}

void to_json(nlohmann::json& json, DMGCompressionFormat format) {
  json = std::string(rawValue(format));
}

void from_json(const nlohmann::json& json, DMGCompressionFormat& format) {
  const auto* text = json.get_ptr<const std::string*>();
  const auto decoded = text != nullptr ? DMGCompressionFormats::fromRawValue(*text) : std::nullopt;
  if (!decoded) {
    throw nlohmann::json::other_error::create(
        501, "a DMG compression format is \"zlib\", \"lzfse\" or \"lzma\"", &json);
  }
  format = *decoded;
}

} // namespace halyard
