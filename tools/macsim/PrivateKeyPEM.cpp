#include "PrivateKeyPEM.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace macsim {

namespace {

std::optional<std::vector<unsigned char>> base64Decode(const std::string& text) {
  std::vector<unsigned char> bytes;
  std::uint32_t accumulator = 0;
  int bits = 0;
  bool padding = false;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z')
      value = c - 'A';
    else if (c >= 'a' && c <= 'z')
      value = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      value = c - '0' + 52;
    else if (c == '+')
      value = 62;
    else if (c == '/')
      value = 63;
    else if (c == '=') {
      padding = true;
      continue;
    } else if (c == '\n' || c == '\r' || c == ' ' || c == '\t')
      continue;
    else
      return std::nullopt;
    if (padding) return std::nullopt; // data after padding
    accumulator = (accumulator << 6) | static_cast<std::uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<unsigned char>((accumulator >> bits) & 0xFF));
    }
  }
  return bytes;
}

// A DER element: its tag and the range of its contents.
struct Element {
  unsigned char tag = 0;
  size_t start = 0, end = 0;
};

std::optional<Element> readElement(const std::vector<unsigned char>& der, size_t at, size_t limit) {
  if (at + 2 > limit) return std::nullopt;
  Element element;
  element.tag = der[at];
  size_t length = der[at + 1];
  size_t position = at + 2;
  if (length & 0x80) {
    const size_t count = length & 0x7F;
    if (count == 0 || count > 4 || position + count > limit) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < count; ++i)
      length = (length << 8) | der[position++];
  }
  if (position + length > limit) return std::nullopt;
  element.start = position;
  element.end = position + length;
  return element;
}

bool isPKCS8(const std::vector<unsigned char>& der) {
  // PrivateKeyInfo ::= SEQUENCE { version INTEGER, algorithm SEQUENCE { OID, ... },
  //                               privateKey OCTET STRING, ... }
  auto outer = readElement(der, 0, der.size());
  if (!outer || outer->tag != 0x30 || outer->end != der.size()) return false;
  auto version = readElement(der, outer->start, outer->end);
  if (!version || version->tag != 0x02) return false;
  auto algorithm = readElement(der, version->end, outer->end);
  if (!algorithm || algorithm->tag != 0x30) return false;
  auto oid = readElement(der, algorithm->start, algorithm->end);
  if (!oid || oid->tag != 0x06 || oid->end == oid->start) return false;
  auto key = readElement(der, algorithm->end, outer->end);
  return key && key->tag == 0x04 && key->end > key->start;
}

bool isSEC1(const std::vector<unsigned char>& der) {
  // ECPrivateKey ::= SEQUENCE { version INTEGER (1), privateKey OCTET STRING, ... }
  auto outer = readElement(der, 0, der.size());
  if (!outer || outer->tag != 0x30 || outer->end != der.size()) return false;
  auto version = readElement(der, outer->start, outer->end);
  if (!version || version->tag != 0x02) return false;
  auto key = readElement(der, version->end, outer->end);
  return key && key->tag == 0x04 && key->end > key->start;
}

} // namespace

bool PrivateKeyPEM::isPrivateKey(const std::string& text) {
  for (const char* label : {"PRIVATE KEY", "EC PRIVATE KEY"}) {
    const std::string begin = std::string("-----BEGIN ") + label + "-----";
    const std::string end = std::string("-----END ") + label + "-----";
    const auto first = text.find(begin);
    if (first == std::string::npos) continue;
    const auto last = text.find(end, first);
    if (last == std::string::npos) return false;
    const auto body = base64Decode(text.substr(first + begin.size(), last - first - begin.size()));
    if (!body || body->empty()) return false;
    return std::string(label) == "PRIVATE KEY" ? isPKCS8(*body) : isSEC1(*body);
  }
  return false;
}

} // namespace macsim
