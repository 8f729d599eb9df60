#include "cli/Redactor.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace bosun {

namespace {

struct Rule {
  std::unique_ptr<icu::RegexPattern> pattern;
  icu::UnicodeString replacement;
};

// Compiled on first use and kept for the life of the process. A RegexPattern may be shared
// between threads; each redaction makes its own matcher.
const std::vector<Rule>& rules() {
  static const std::vector<Rule> compiled = [] {
    static constexpr const char* table[][2] = {
        {R"((--password|-p)(\s+|=)("[^"]*"|\S+))", "$1$2<redacted>"},
        {R"(\b[a-z]{4}-[a-z]{4}-[a-z]{4}-[a-z]{4}\b)", "<redacted>"},
        {R"((-----BEGIN [A-Z ]*PRIVATE KEY-----)[\s\S]*?(-----END [A-Z ]*PRIVATE KEY-----))",
         "$1<redacted>$2"},
        {R"((?i)(authorization:\s*bearer\s+)\S+)", "$1<redacted>"},
    };
    std::vector<Rule> result;
    for (const auto& [pattern, replacement] : table) {
      UErrorCode status = U_ZERO_ERROR;
      UParseError parseError{};
      std::unique_ptr<icu::RegexPattern> compiledPattern(
          icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, parseError, status));
      // A rule that does not compile is left out.
      if (U_FAILURE(status) || !compiledPattern) continue;
      result.push_back({std::move(compiledPattern), icu::UnicodeString::fromUTF8(replacement)});
    }
    return result;
  }();
  return compiled;
}

// Every rule needs a "-" (options, passwords, PEM markers) or a ":" (the header); text without
// either has nothing to redact.
bool mayContainSecret(std::string_view text) {
  return text.find_first_of("-:") != std::string_view::npos;
}

} // namespace

std::string Redactor::redact(std::string_view text) {
  if (!mayContainSecret(text)) return std::string(text);
  icu::UnicodeString subject = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  bool changed = false;
  for (const Rule& rule : rules()) {
    icu::UnicodeString replaced;
    {
      // The matcher refers to `subject`; it is gone before `subject` changes.
      UErrorCode status = U_ZERO_ERROR;
      std::unique_ptr<icu::RegexMatcher> matcher(rule.pattern->matcher(subject, status));
      if (U_FAILURE(status) || !matcher || !matcher->find()) continue;
      matcher->reset();
      replaced = matcher->replaceAll(rule.replacement, status);
      if (U_FAILURE(status)) continue;
    }
    subject = std::move(replaced);
    changed = true;
  }
  if (!changed) return std::string(text);
  std::string result;
  subject.toUTF8String(result);
  return result;
}

nlohmann::json Redactor::redact(nlohmann::json value,
                                std::initializer_list<std::string_view> kept) {
  if (value.is_string()) return redact(value.get_ref<const std::string&>());
  if (value.is_array()) {
    for (auto& element : value)
      element = redact(std::move(element), kept);
  } else if (value.is_object()) {
    for (auto& [key, element] : value.items()) {
      if (std::find(kept.begin(), kept.end(), key) == kept.end())
        element = redact(std::move(element), kept);
    }
  }
  return value;
}

} // namespace bosun
