#include "core/Inspection/PackageIdentifierFinder.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <fstream>
#include <vector>

#include "core/Inspection/InspectionFolderWalk.hpp"

namespace halyard {

namespace {
constexpr std::streamsize maximumRead = 1024 * 1024;
// Bounds the matcher's work on hostile input (steps of the engine, roughly milliseconds).
constexpr int32_t matchTimeLimit = 2000;

std::optional<std::string> firstGroup(const char* pattern, std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  icu::RegexMatcher matcher(icu::UnicodeString::fromUTF8(pattern), 0, status);
  if (U_FAILURE(status)) return std::nullopt;
  const auto input = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  matcher.reset(input);
  matcher.setTimeLimit(matchTimeLimit, status);
  if (U_FAILURE(status) || !matcher.find(status) || U_FAILURE(status)) return std::nullopt;
  std::string group;
  matcher.group(1, status).toUTF8String(group);
  if (U_FAILURE(status)) return std::nullopt;
  return group;
}

std::string head(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  std::string text(static_cast<std::size_t>(maximumRead), '\0');
  stream.read(text.data(), maximumRead);
  text.resize(static_cast<std::size_t>(stream.gcount()));
  return text;
}
} // namespace

std::optional<std::string> PackageIdentifierFinder::inDistribution(std::string_view text) {
  return firstGroup(R"re(<pkg-ref[^>]*\bid\s*=\s*"([^"]+)")re", text);
}

std::optional<std::string> PackageIdentifierFinder::inPackageInfo(std::string_view text) {
  return firstGroup(R"re(\bidentifier\s*=\s*"([^"]+)")re", text);
}

std::optional<std::string> PackageIdentifierFinder::find(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> distributions;
  std::vector<std::filesystem::path> packageInfos;
  InspectionFolderWalk::walk(
      folder, [&](const std::filesystem::path& path, std::filesystem::file_status status) {
        if (std::filesystem::is_regular_file(status)) {
          const auto name = path.filename();
          if (name == "Distribution") distributions.push_back(path);
          if (name == "PackageInfo") packageInfos.push_back(path);
        }
        return InspectionFolderWalk::Action::descend;
      });
  for (const auto& file : distributions) {
    if (auto identifier = inDistribution(head(file))) return identifier;
  }
  for (const auto& file : packageInfos) {
    if (auto identifier = inPackageInfo(head(file))) return identifier;
  }
  return std::nullopt;
}

} // namespace halyard
