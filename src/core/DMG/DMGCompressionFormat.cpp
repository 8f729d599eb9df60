#include "core/DMG/DMGCompressionFormat.hpp"

#include <nlohmann/json.hpp>

#include "core/Support/PropertyList.hpp"
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
constexpr std::uintmax_t maximumPreferencesSize = 16 * 1024 * 1024;

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
  const std::string name = text::lowercasedASCII(text::trimmed(text));
  for (DMGCompressionFormat format : allCases) {
    if (factsOf(format).rawValue == name || factsOf(format).udifFormatLowerCased == name) {
      return format;
    }
  }
  return std::nullopt;
}

std::optional<DMGCompressionFormat>
DMGCompressionFormats::saved(const std::filesystem::path& preferencesFile) {
  const auto list = PropertyList::readFile(preferencesFile, maximumPreferencesSize);
  const auto value = list.string(std::string(preferenceKey).c_str());
  return value ? fromRawValue(*value) : std::nullopt;
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
