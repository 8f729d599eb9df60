#include "core/Legal/StyledTextBuilder.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

namespace {
// Each malformed byte becomes U+FFFD.
std::string wellFormedUTF8(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t index = 0;
  while (index < text.size()) {
    const auto lead = static_cast<unsigned char>(text[index]);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      result += static_cast<char>(lead);
      ++index;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      minimum = 0x10000;
    }
    bool valid = length > 0 && index + length <= text.size();
    char32_t value = valid ? lead & (0x7F >> length) : 0;
    for (std::size_t offset = 1; valid && offset < length; ++offset) {
      const auto next = static_cast<unsigned char>(text[index + offset]);
      valid = (next & 0xC0) == 0x80;
      value = (value << 6) | (next & 0x3F);
    }
    valid = valid && value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value < 0xE000);
    if (valid) {
      result.append(text.substr(index, length));
      index += length;
    } else {
      result += "\xEF\xBF\xBD";
      ++index;
    }
  }
  return result;
}

} // namespace

void StyledTextBuilder::append(std::string_view text, const TextAttributes& attributes) {
  if (text.empty() || overflowed_) return;
  if (text.size() + pendingBreaks_ > textLimit - size_) {
    overflowed_ = true;
    return;
  }
  if (!text::isValidUTF8(text)) {
    const std::string repaired = wellFormedUTF8(text);
    append(repaired, attributes);
    return;
  }
  if (pendingBreaks_ > 0 && !text_.runs.empty())
    text_.append(std::string(pendingBreaks_, '\n'), breakAttributes_);
  size_ += text.size() + (text_.runs.empty() ? 0 : pendingBreaks_);
  pendingBreaks_ = 0;
  text_.append(std::string(text), attributes);
}

} // namespace halyard
