#include "cli/console/Redactor.hpp"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace bosun {

namespace {

constexpr std::string_view redacted = "<redacted>";
constexpr auto npos = std::string_view::npos;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Letters, digits and "_". Bytes of multi-byte characters count as non-word, so a secret next to
// one is still removed.
bool isWord(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isLower(char c) {
  return c >= 'a' && c <= 'z';
}

bool equalsIgnoringCase(std::string_view text, std::size_t at, std::string_view lowerWord) {
  if (text.size() - at < lowerWord.size()) return false;
  for (std::size_t i = 0; i < lowerWord.size(); ++i) {
    char c = text[at + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lowerWord[i]) return false;
  }
  return true;
}

std::size_t skipSpaces(std::string_view text, std::size_t at) {
  while (at < text.size() && isSpace(text[at]))
    ++at;
  return at;
}

std::size_t skipNonSpaces(std::string_view text, std::size_t at) {
  while (at < text.size() && !isSpace(text[at]))
    ++at;
  return at;
}

// Where a secret was found: [start, end) is replaced by `replacement`.
struct Match {
  std::size_t start = npos;
  std::size_t end = npos;
  std::string replacement;
};

// Applies one rule to all its matches, left to right: `find(text, from)` returns the first match
// starting at or after `from` (start == npos when there is none).
bool replaceAll(std::string& text,
                const std::function<Match(std::string_view, std::size_t)>& find) {
  std::string result;
  std::size_t copied = 0;
  std::size_t from = 0;
  bool changed = false;
  while (from <= text.size()) {
    const Match match = find(text, from);
    if (match.start == npos) break;
    result.append(text, copied, match.start - copied);
    result += match.replacement;
    copied = match.end;
    from = match.end > match.start ? match.end : match.end + 1;
    changed = true;
  }
  if (!changed) return false;
  result.append(text, copied, npos);
  text = std::move(result);
  return true;
}

// "--password" or "-p", then white space or "=", then the value: a double-quoted string or a run
// of non-space characters. The option and its separator stay.
Match passwordOption(std::string_view text, std::size_t from) {
  for (std::size_t at = text.find('-', from); at != npos; at = text.find('-', at + 1)) {
    std::size_t next = npos;
    if (text.compare(at, 10, "--password") == 0)
      next = at + 10;
    else if (text.compare(at, 2, "-p") == 0)
      next = at + 2;
    if (next >= text.size()) continue;
    std::size_t value = npos;
    if (isSpace(text[next]))
      value = skipSpaces(text, next);
    else if (text[next] == '=')
      value = next + 1;
    if (value >= text.size() || isSpace(text[value])) continue;
    std::size_t end = npos;
    if (text[value] == '"') {
      const std::size_t close = text.find('"', value + 1);
      if (close != npos) end = close + 1;
    }
    if (end == npos) end = skipNonSpaces(text, value);
    return {value, end, std::string(redacted)};
  }
  return {};
}

// An app-specific password: four groups of four lower-case letters joined by "-", a whole word.
Match appSpecificPassword(std::string_view text, std::size_t from) {
  constexpr std::size_t length = 19;
  for (std::size_t at = from; at + length <= text.size(); ++at) {
    if (at > 0 && isWord(text[at - 1])) continue;
    if (at + length < text.size() && isWord(text[at + length])) continue;
    bool shaped = true;
    for (std::size_t i = 0; i < length && shaped; ++i) {
      shaped = i % 5 == 4 ? text[at + i] == '-' : isLower(text[at + i]);
    }
    if (shaped) return {at, at + length, std::string(redacted)};
  }
  return {};
}

// The end of a "-----<kind> ...PRIVATE KEY-----" marker starting at `at` (kind "BEGIN" or "END",
// anything made of capitals and spaces before "PRIVATE KEY"), or npos.
std::size_t privateKeyMarkerEnd(std::string_view text, std::size_t at, std::string_view kind) {
  const std::size_t words = at + 5 + kind.size() + 1;
  if (text.compare(at, 5, "-----") != 0 || text.compare(at + 5, kind.size(), kind) != 0 ||
      words > text.size() || text[words - 1] != ' ')
    return npos;
  std::size_t end = words;
  while (end < text.size() && ((text[end] >= 'A' && text[end] <= 'Z') || text[end] == ' '))
    ++end;
  constexpr std::string_view tail = "PRIVATE KEY-----";
  if (end - words < 11 || text.compare(end - 11, tail.size(), tail) != 0) return npos;
  return end + 5;
}

// The body of a PEM private key, up to the first end marker after it. The markers stay.
Match privateKey(std::string_view text, std::size_t from) {
  for (std::size_t at = text.find("-----BEGIN ", from); at != npos;
       at = text.find("-----BEGIN ", at + 1)) {
    const std::size_t bodyStart = privateKeyMarkerEnd(text, at, "BEGIN");
    if (bodyStart == npos) continue;
    for (std::size_t close = text.find("-----END ", bodyStart); close != npos;
         close = text.find("-----END ", close + 1)) {
      const std::size_t end = privateKeyMarkerEnd(text, close, "END");
      if (end == npos) continue;
      std::string replacement(redacted);
      replacement.append(text.substr(close, end - close));
      return {bodyStart, end, std::move(replacement)};
    }
    return {}; // no end marker follows, so no later key can have one either
  }
  return {};
}

// The token of an "Authorization: Bearer <token>" header, in any letter case.
Match bearerToken(std::string_view text, std::size_t from) {
  for (std::size_t at = from; at < text.size(); ++at) {
    if (!equalsIgnoringCase(text, at, "authorization:")) continue;
    const std::size_t scheme = skipSpaces(text, at + 14);
    if (!equalsIgnoringCase(text, scheme, "bearer")) continue;
    const std::size_t token = skipSpaces(text, scheme + 6);
    if (token == scheme + 6 || token >= text.size()) continue;
    return {token, skipNonSpaces(text, token), std::string(redacted)};
  }
  return {};
}

// Every rule needs a "-" (options, passwords, PEM markers) or a ":" (the header); text without
// either has nothing to redact.
bool mayContainSecret(std::string_view text) {
  return text.find_first_of("-:") != std::string_view::npos;
}

} // namespace

std::string Redactor::redact(std::string_view text) {
  std::string result(text);
  if (!mayContainSecret(text)) return result;
  for (const auto rule : {passwordOption, appSpecificPassword, privateKey, bearerToken})
    replaceAll(result, rule);
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
