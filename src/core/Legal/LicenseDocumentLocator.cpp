#include "core/Legal/LicenseDocumentLocator.hpp"

#include <algorithm>
#include <string>
#include <system_error>

#include <unicode/uchar.h>

#include "core/Support/CodePoint.hpp"
#include "core/Support/FinderNameOrder.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// Lower-cases every well-formed character (simple case mapping); bytes that are not UTF-8 are
// kept as they are, so a file name from any file system can be classified.
std::string lowerCased(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const auto character = CodePoint::next(text, index);
    if (character.isValid())
      text::appendUTF8(result, static_cast<char32_t>(u_tolower(character.value)));
    else
      result.append(character.bytes);
  }
  return result;
}

// The stem split at every character that is neither a letter nor a digit (bytes that are not
// UTF-8 split too); empty tokens are dropped.
std::vector<std::string> tokens(std::string_view stem) {
  std::vector<std::string> result;
  std::string current;
  for (std::size_t index = 0; index < stem.size();) {
    const auto character = CodePoint::next(stem, index);
    if (character.isValid() && (u_isalpha(character.value) || u_isdigit(character.value))) {
      current.append(character.bytes);
    } else if (!current.empty()) {
      result.push_back(std::move(current));
      current.clear();
    }
  }
  if (!current.empty()) result.push_back(std::move(current));
  return result;
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// True when the stem ends with one of the separators "_", "-", "." or " " followed by `suffix`.
// (Each separator is tested in turn; which one matched makes no difference to the result.)
bool hasSuffix(std::string_view stem, std::string_view suffix) {
  if (stem.size() < suffix.size() + 1 || !endsWith(stem, suffix)) return false;
  const char separator = stem[stem.size() - suffix.size() - 1];
  return separator == '_' || separator == '-' || separator == '.' || separator == ' ';
}

// Each language with the suffixes that name it: its lower-cased code, and the same with "_" for
// every "-" (once when the two coincide).
struct LanguageAliases {
  const LicenseLanguage* language;
  std::vector<std::string> aliases;
};

const std::vector<LanguageAliases>& languageAliases() {
  static const std::vector<LanguageAliases> table = [] {
    std::vector<LanguageAliases> result;
    for (const LicenseLanguage& language : LicenseLanguage::all()) {
      const std::string code = halyard::text::lowercasedASCII(language.code);
      std::string underscored = code;
      std::replace(underscored.begin(), underscored.end(), '-', '_');
      std::vector<std::string> aliases{code};
      if (underscored != code) aliases.push_back(underscored);
      result.push_back({&language, std::move(aliases)});
    }
    return result;
  }();
  return table;
}

// The name's extension after the last dot (not a leading dot), lower-cased; and the name before
// it.
std::string_view stemOf(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return name;
  return name.substr(0, dot);
}

std::string lowerCasedExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return halyard::text::lowercasedASCII(name.substr(dot + 1));
}

std::optional<size_t> extensionRank(std::string_view extension) {
  const auto& extensions = LicenseDocumentLocator::supportedExtensions();
  const auto found = std::find(extensions.begin(), extensions.end(), extension);
  if (found == extensions.end()) return std::nullopt;
  return static_cast<size_t>(found - extensions.begin());
}

} // namespace

const std::vector<std::string_view>& LicenseDocumentLocator::supportedExtensions() {
  static const std::vector<std::string_view> extensions = {
      "rtf",   "rtfd",       "docx", "doc",      "odt", "html", "htm",
      "xhtml", "webarchive", "md",   "markdown", "txt", "text", "pdf",
  };
  return extensions;
}

std::vector<LicenseDocumentLocator::Match>
LicenseDocumentLocator::scan(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> candidates;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return {};
  for (const std::filesystem::directory_iterator end; entries != end; entries.increment(error)) {
    if (error) break;
    const std::string name = entries->path().filename().string();
    if (name.empty() || name.front() == '.' || !hasSupportedExtension(name)) continue;
    candidates.push_back(entries->path());
  }
  if (error) return {};
  return classifyCandidates(std::move(candidates));
}

bool LicenseDocumentLocator::hasSupportedExtension(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  const std::string_view extension = fileName.substr(dot + 1);
  for (const std::string_view supported : supportedExtensions()) {
    if (supported.size() == extension.size() &&
        std::equal(supported.begin(), supported.end(), extension.begin(), [](char a, char b) {
          return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b);
        }))
      return true;
  }
  return false;
}

std::vector<LicenseDocumentLocator::Match>
LicenseDocumentLocator::classifyCandidates(std::vector<std::filesystem::path> candidates) {
  // Names are classified before the sort, so only license documents are collated.
  std::erase_if(candidates, [](const auto& candidate) { return !classify(candidate); });
  FinderNameOrder::sortByFileName(candidates);

  std::vector<Match> matches;
  for (const auto& candidate : candidates) {
    if (auto match = classify(candidate)) matches.push_back(std::move(*match));
  }
  return matches;
}

std::optional<LicenseDocumentLocator::Match>
LicenseDocumentLocator::classify(const std::filesystem::path& url) {
  const std::string name = url.filename().string();
  std::string stem = lowerCased(stemOf(name));

  const LicenseLanguage* language = nullptr;
  for (const LanguageAliases& candidate : languageAliases()) {
    for (const std::string& alias : candidate.aliases) {
      if (hasSuffix(stem, alias)) {
        stem.resize(stem.size() - alias.size() - 1);
        language = candidate.language;
        break;
      }
    }
    if (language) break;
  }
  if (!language) language = &LicenseLanguage::englishUS();

  if (*language == LicenseLanguage::englishUS()) {
    if (hasSuffix(stem, "en")) stem.resize(stem.size() - 3);
  }

  const auto documentKind = kind(stem);
  if (!documentKind) return std::nullopt;
  return Match{url, *documentKind, *language};
}

std::optional<LicenseDocumentKind> LicenseDocumentLocator::kind(std::string_view stem) {
  const std::vector<std::string> parts = tokens(lowerCased(stem));
  std::string joined;
  for (const auto& part : parts)
    joined += part;
  const auto contains = [&joined](std::string_view word) {
    return joined.find(word) != std::string::npos;
  };
  const auto hasToken = [&parts](std::string_view word) {
    return std::find(parts.begin(), parts.end(), word) != parts.end();
  };

  if (contains("privacy")) return LicenseDocumentKind::privacy;
  if (contains("terms") || contains("conditions") || hasToken("tos"))
    return LicenseDocumentKind::terms;
  for (const std::string_view word : {"eula", "license", "licence", "legal", "agreement"}) {
    if (contains(word)) return LicenseDocumentKind::eula;
  }
  if (hasToken("sla")) return LicenseDocumentKind::eula;
  return std::nullopt;
}

std::optional<std::filesystem::path>
LicenseDocumentLocator::find(const std::filesystem::path& folder, LicenseDocumentKind kind,
                             const LicenseLanguage& language) {
  std::optional<std::filesystem::path> best;
  size_t bestRank = 0;
  for (const Match& match : scan(folder)) {
    if (match.kind != kind || !(match.language == language)) continue;
    const auto rank = extensionRank(lowerCasedExtension(match.url.filename().string()));
    if (!rank) continue;
    // Strictly better only: among equal extensions the first in scan order stays.
    if (!best || *rank < bestRank) {
      best = match.url;
      bestRank = *rank;
    }
  }
  return best;
}

} // namespace halyard
