#include "core/Legal/TextEncoding.hpp"

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <memory>
#include <vector>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter strictConverter(const char* name) {
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
  ucnv_setFallback(converter.get(), false);
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

void appendUTF8(std::string& out, UChar32 codePoint) {
  char buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  UBool error = false;
  U8_APPEND(buffer, length, U8_MAX_LENGTH, codePoint, error);
  if (!error) out.append(buffer, static_cast<std::size_t>(length));
}

// The code points of UTF-16 bytes in one byte order, or nothing when a surrogate is unpaired.
std::optional<std::vector<UChar32>> utf16CodePoints(std::string_view bytes, bool bigEndian) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  std::vector<UChar32> codePoints;
  codePoints.reserve(bytes.size() / 2);
  auto unit = [&](std::size_t index) {
    const auto first = static_cast<unsigned char>(bytes[index]);
    const auto second = static_cast<unsigned char>(bytes[index + 1]);
    return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  for (std::size_t index = 0; index < bytes.size(); index += 2) {
    const char16_t lead = unit(index);
    if (U16_IS_TRAIL(lead)) return std::nullopt;
    if (!U16_IS_LEAD(lead)) {
      codePoints.push_back(lead);
      continue;
    }
    if (index + 2 >= bytes.size()) return std::nullopt;
    const char16_t trail = unit(index + 2);
    if (!U16_IS_TRAIL(trail)) return std::nullopt;
    codePoints.push_back(U16_GET_SUPPLEMENTARY(lead, trail));
    index += 2;
  }
  return codePoints;
}

std::string utf8(const std::vector<UChar32>& codePoints) {
  std::string out;
  out.reserve(codePoints.size());
  for (const auto codePoint : codePoints)
    appendUTF8(out, codePoint);
  return out;
}

// How many ASCII characters the text has, or -1 when it is not plausible text.
long plausibleASCIICount(const std::vector<UChar32>& codePoints) {
  long ascii = 0;
  for (const auto codePoint : codePoints) {
    if (codePoint == '\t' || codePoint == '\n' || codePoint == '\r') {
      ++ascii;
      continue;
    }
    if (!u_isdefined(codePoint) || u_charType(codePoint) == U_CONTROL_CHAR ||
        u_charType(codePoint) == U_SURROGATE)
      return -1;
    if (codePoint < 0x80) ++ascii;
  }
  return ascii == 0 ? -1 : ascii;
}

} // namespace

std::optional<std::string> TextEncoding::decode(std::string_view bytes, const char* converterName) {
  // ICU maps the five bytes Windows-1252 leaves undefined to C1 controls; they are not text.
  if (std::string_view(converterName) == windows1252 &&
      bytes.find_first_of("\x81\x8D\x8F\x90\x9D") != std::string_view::npos)
    return std::nullopt;
  auto converter = strictConverter(converterName);
  if (!converter) return std::nullopt;
  std::vector<UChar> units(bytes.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  const auto length =
      ucnv_toUChars(converter.get(), units.data(), static_cast<int32_t>(units.size()), bytes.data(),
                    static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  std::string out;
  out.resize(static_cast<std::size_t>(length) * 3);
  int32_t written = 0;
  u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &written, units.data(), length,
              &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::optional<std::string> TextEncoding::encode(std::string_view utf8Text,
                                                const char* converterName) {
  if (!text::isValidUTF8(utf8Text)) return std::nullopt;
  auto converter = strictConverter(converterName);
  if (!converter) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::vector<UChar> units(utf8Text.size() + 1);
  int32_t length = 0;
  u_strFromUTF8(units.data(), static_cast<int32_t>(units.size()), &length, utf8Text.data(),
                static_cast<int32_t>(utf8Text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  std::string out;
  out.resize(static_cast<std::size_t>(length) * 4 + 4);
  const auto written = ucnv_fromUChars(
      converter.get(), out.data(), static_cast<int32_t>(out.size()), units.data(), length, &status);
  if (U_FAILURE(status)) return std::nullopt;
  out.resize(static_cast<std::size_t>(written));
  return out;
}

std::optional<std::string> TextEncoding::decodeUnmarkedUTF16(std::string_view bytes) {
  long bestCount = -1;
  std::optional<std::string> best;
  for (const bool bigEndian : {true, false}) {
    const auto codePoints = utf16CodePoints(bytes, bigEndian);
    if (!codePoints) continue;
    const auto count = plausibleASCIICount(*codePoints);
    if (count > bestCount) {
      bestCount = count;
      best = utf8(*codePoints);
    }
  }
  return best;
}

std::string TextEncoding::decodeDocument(std::string_view bytes) {
  if (text::isValidUTF8(bytes)) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return std::string(bytes);
  }
  const bool bigEndianMark = bytes.substr(0, 2) == "\xFE\xFF";
  const bool littleEndianMark = bytes.substr(0, 2) == "\xFF\xFE";
  if (bigEndianMark || littleEndianMark) {
    if (auto codePoints = utf16CodePoints(bytes.substr(2), bigEndianMark)) return utf8(*codePoints);
  } else if (auto unmarked = decodeUnmarkedUTF16(bytes)) {
    return *unmarked;
  }
  if (auto windows = decode(bytes, windows1252)) return *windows;
  return decode(bytes, macRoman).value_or(std::string());
}

} // namespace halyard
