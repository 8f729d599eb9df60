#include "core/Support/FileURL.hpp"

#include <cctype>
#include <vector>

namespace halyard {

namespace {

struct Parts {
  std::string scheme; // without ":"
  bool hasAuthority = false;
  std::string authority;
  std::string path;
  std::string rest; // "?query#fragment" as found
};

size_t schemeLength(std::string_view text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return 0;
  for (size_t i = 1; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == ':') return i;
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return 0;
  }
  return 0;
}

Parts split(std::string_view text) {
  Parts parts;
  if (const size_t length = schemeLength(text); length > 0) {
    parts.scheme = std::string(text.substr(0, length));
    text.remove_prefix(length + 1);
  }
  if (text.substr(0, 2) == "//") {
    text.remove_prefix(2);
    const size_t end = text.find_first_of("/?#");
    parts.hasAuthority = true;
    parts.authority = std::string(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end);
  }
  const size_t end = text.find_first_of("?#");
  parts.path = std::string(text.substr(0, end));
  if (end != std::string_view::npos) parts.rest = std::string(text.substr(end));
  return parts;
}

// RFC 3986, section 5.2.4.
std::string removeDotSegments(std::string_view input) {
  std::vector<std::string> output;
  const bool absolute = !input.empty() && input.front() == '/';
  size_t start = absolute ? 1 : 0;
  bool trailingSlash = false;
  while (start <= input.size()) {
    size_t end = input.find('/', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view segment = input.substr(start, end - start);
    const bool last = end == input.size();
    if (segment == ".") {
      trailingSlash = last;
    } else if (segment == "..") {
      if (!output.empty()) output.pop_back();
      trailingSlash = last;
    } else {
      output.emplace_back(segment);
      trailingSlash = false;
    }
    start = end + 1;
  }
  std::string result = absolute ? "/" : "";
  for (size_t i = 0; i < output.size(); ++i) {
    if (i > 0) result += '/';
    result += output[i];
  }
  if (trailingSlash && !result.empty() && result.back() != '/') result += '/';
  return result;
}

std::string join(const Parts& parts) {
  std::string text;
  if (!parts.scheme.empty()) text += parts.scheme + ":";
  if (parts.hasAuthority) text += "//" + parts.authority;
  text += parts.path;
  text += parts.rest;
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

} // namespace

std::optional<FileURL> FileURL::make(std::string_view relative,
                                     const std::optional<FileURL>& base) {
  if (relative.empty()) return std::nullopt;
  for (const char c : relative) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  }
  Parts reference = split(relative);
  if (!reference.scheme.empty() || !base) {
    reference.path = reference.hasAuthority || reference.path.empty() || reference.path[0] == '/'
                         ? removeDotSegments(reference.path)
                         : reference.path;
    return FileURL(join(reference));
  }
  Parts target = split(base->string_);
  target.rest.clear();
  if (reference.hasAuthority) {
    target.hasAuthority = true;
    target.authority = reference.authority;
    target.path = removeDotSegments(reference.path);
  } else if (reference.path.empty()) {
    // Same document: keep the base path; the reference's query or fragment replaces the base's.
    target.rest = reference.rest.empty() ? split(base->string_).rest : "";
  } else if (reference.path.front() == '/') {
    target.path = removeDotSegments(reference.path);
  } else {
    std::string merged;
    if (target.hasAuthority && target.path.empty()) {
      merged = "/" + reference.path;
    } else {
      const size_t slash = target.path.rfind('/');
      merged =
          (slash == std::string::npos ? "" : target.path.substr(0, slash + 1)) + reference.path;
    }
    target.path = removeDotSegments(merged);
  }
  target.rest += reference.rest;
  return FileURL(join(target));
}

FileURL FileURL::fromPath(const std::filesystem::path& path) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string text = "file://";
  for (const char c : path.string()) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) ||
        std::string_view("/-._~!$&'()*+,;=:@").find(c) != std::string_view::npos) {
      text += c;
    } else {
      text += '%';
      text += digits[byte >> 4];
      text += digits[byte & 0x0F];
    }
  }
  return FileURL(text);
}

std::string FileURL::scheme() const {
  const size_t length = schemeLength(string_);
  std::string result = string_.substr(0, length);
  for (auto& c : result)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return result;
}

std::filesystem::path FileURL::path() const {
  const std::string encoded = split(string_).path;
  std::string decoded;
  decoded.reserve(encoded.size());
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '%' && i + 2 < encoded.size()) {
      const int high = hexValue(encoded[i + 1]);
      const int low = hexValue(encoded[i + 2]);
      // An encoded NUL stays encoded: it would cut the path short when handed to the system.
      if (high >= 0 && low >= 0 && high + low > 0) {
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    decoded += encoded[i];
  }
  return decoded;
}

} // namespace halyard
