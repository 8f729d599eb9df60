#include "core/Inspection/PackageIdentifierFinder.hpp"

#include <algorithm>
#include <fstream>
#include <vector>

#include "core/Inspection/InspectionFolderWalk.hpp"

namespace halyard {

namespace {
constexpr std::uintmax_t maximumRead = 1024 * 1024;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A letter, digit or underscore; bytes of non-ASCII characters count as letters.
bool isWordByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || byte == '_' || (byte >= '0' && byte <= '9') ||
         ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'z');
}

// At `at`, `name` as a whole word, blanks, "=", blanks and a quoted value of at least one byte:
// that value, else none.
std::optional<std::string> attributeAt(std::string_view text, std::size_t at,
                                       std::string_view name) {
  if (text.substr(at, name.size()) != name) return std::nullopt;
  if (at > 0 && isWordByte(text[at - 1])) return std::nullopt;
  std::size_t i = at + name.size();
  while (i < text.size() && isSpace(text[i]))
    ++i;
  if (i == text.size() || text[i] != '=') return std::nullopt;
  ++i;
  while (i < text.size() && isSpace(text[i]))
    ++i;
  if (i == text.size() || text[i] != '"') return std::nullopt;
  const std::size_t start = i + 1;
  const std::size_t end = text.find('"', start);
  if (end == std::string_view::npos || end == start) return std::nullopt;
  return std::string(text.substr(start, end - start));
}

// The file's first megabyte (or less), read without filling a megabyte first.
std::string head(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error) return {};
  std::string text(static_cast<std::size_t>(std::min(size, maximumRead)), '\0');
  std::ifstream stream(file, std::ios::binary);
  stream.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(stream.gcount()));
  return text;
}
} // namespace

// The first "<pkg-ref" tag with an id attribute that starts before the tag's first ">" (the
// value itself may hold one); of several, the last. One pass: tags that share the rest of the
// text up to one ">" share their candidates, so a tag that has none lets the search go on after
// that ">".
std::optional<std::string> PackageIdentifierFinder::inDistribution(std::string_view text) {
  constexpr std::string_view tag = "<pkg-ref";
  std::size_t from = 0;
  while (true) {
    const std::size_t start = text.find(tag, from);
    if (start == std::string_view::npos) return std::nullopt;
    const std::size_t first = start + tag.size();
    std::size_t close = text.find('>', first);
    if (close == std::string_view::npos) close = text.size();
    for (std::size_t at = close; at-- > first;) {
      if (auto value = attributeAt(text, at, "id")) return value;
    }
    if (close == text.size()) return std::nullopt;
    from = close + 1;
  }
}

std::optional<std::string> PackageIdentifierFinder::inPackageInfo(std::string_view text) {
  constexpr std::string_view name = "identifier";
  for (std::size_t at = text.find(name); at != std::string_view::npos;
       at = text.find(name, at + 1)) {
    if (auto value = attributeAt(text, at, name)) return value;
  }
  return std::nullopt;
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
