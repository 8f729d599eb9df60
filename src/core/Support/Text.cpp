#include "core/Support/Text.hpp"

#include <algorithm>
#include <cstdint>

#include <unicode/unistr.h>

namespace halyard::text {

namespace {
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

std::string trimmed(std::string_view value) {
  size_t begin = 0;
  size_t end = value.size();
  while (begin < end && isSpace(value[begin]))
    ++begin;
  while (end > begin && isSpace(value[end - 1]))
    --end;
  return std::string(value.substr(begin, end - begin));
}

std::string_view trimmedView(std::string_view value, std::string_view characters) {
  const auto first = value.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  const auto last = value.find_last_not_of(characters);
  return value.substr(first, last - first + 1);
}

std::string trimmed(std::string_view value, std::string_view characters) {
  return std::string(trimmedView(value, characters));
}

std::string printable(std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      result += "\\x";
      result += hex[byte >> 4];
      result += hex[byte & 0x0F];
    } else {
      result += c;
    }
  }
  return result;
}

void appendUTF8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isValidUTF8(std::string_view bytes) {
  size_t i = 0;
  const size_t n = bytes.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    unsigned int codePoint = 0;
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      codePoint = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      codePoint = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      codePoint = c & 0x07;
    } else {
      return false;
    }
    if (i + length > n) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
    if ((length == 2 && codePoint < 0x80) || (length == 3 && codePoint < 0x800) ||
        (length == 4 && codePoint < 0x10000) || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string joinedOutput(std::string_view standardError, std::string_view standardOutput) {
  auto error = trimmed(standardError);
  auto output = trimmed(standardOutput);
  if (!error.empty() && !output.empty()) return error + "\n" + output;
  return error.empty() ? output : error;
}

std::string lowercasedASCII(std::string_view value) {
  std::string result(value);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

bool contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

std::string caseFolded(std::string_view value) {
  std::string folded;
  icu::UnicodeString::fromUTF8(
      icu::StringPiece(value.data(), static_cast<std::int32_t>(value.size())))
      .foldCase()
      .toUTF8String(folded);
  return folded;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  const auto lower = [](char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != haystack.end() ||
         needle.empty();
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string result;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += separator;
    result += parts[i];
  }
  return result;
}

} // namespace halyard::text
