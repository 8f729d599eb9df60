#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace halyard {

// The compressed, read-only disk-image formats the final DMG is converted into. The raw value of
// a case is its name; the order of the cases is the order of name matching and of every listing.
enum class DMGCompressionFormat { zlib, lzfse, lzma };

// "zlib", "lzfse" or "lzma".
std::string_view rawValue(DMGCompressionFormat format);
// The name shown to people: "zlib", "LZFSE", "LZMA".
std::string_view title(DMGCompressionFormat format);
// The disk-image tool's format code: "UDZO", "ULFO", "ULMO".
std::string_view udifFormat(DMGCompressionFormat format);
// The conversion arguments of the disk-image tool; only zlib carries an image key (level 9).
std::vector<std::string> hdiutilArguments(DMGCompressionFormat format);
// The oldest system that opens the format, as shown to people.
std::string_view minimumSystem(DMGCompressionFormat format);
// One sentence about the format's trade-off.
std::string_view summary(DMGCompressionFormat format);

// Operations on the set of formats.
struct DMGCompressionFormats {
  static constexpr std::array<DMGCompressionFormat, 3> allCases{
      DMGCompressionFormat::zlib, DMGCompressionFormat::lzfse, DMGCompressionFormat::lzma};
  static constexpr DMGCompressionFormat defaultFormat = DMGCompressionFormat::zlib;

  // The desktop app's preference key for the chosen format.
  static constexpr std::string_view preferenceKey = "Halyard.DMGCompression";

  // Exactly "zlib", "lzfse" or "lzma".
  static std::optional<DMGCompressionFormat> fromRawValue(std::string_view text);

  // Lenient matching of what people type: trimmed, lower-cased, then compared in case order with
  // each raw value and lower-cased format code ("UDZO", " udzo " and "zlib" all give zlib).
  static std::optional<DMGCompressionFormat> fromName(std::string_view text);

  // The format stored under preferenceKey in a preference domain file (binary or XML property
  // list). A missing or unreadable file, a missing key, a value that is not text or not a raw
  // value all give no value.
  static std::optional<DMGCompressionFormat> saved(const std::filesystem::path& preferencesFile);
};

// Coded as its raw value. Decoding an unknown text throws nlohmann::json::other_error.
void to_json(nlohmann::json& json, DMGCompressionFormat format);
void from_json(const nlohmann::json& json, DMGCompressionFormat& format);

} // namespace halyard
