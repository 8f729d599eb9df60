#include "core/Process/ProcessOutputBuffer.hpp"

#include <cstdint>
#include <cstring>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

// Tool output is mostly ASCII: skip over it a word at a time and let the full check start at the
// first byte with its high bit set (always the first byte of a sequence).
bool isValidUTF8Quickly(std::string_view bytes) {
  constexpr std::uint64_t highBits = 0x8080808080808080ull;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    if (word & highBits) break;
  }
  while (i < bytes.size() && static_cast<unsigned char>(bytes[i]) < 0x80)
    ++i;
  return text::isValidUTF8(bytes.substr(i));
}

} // namespace

void ProcessOutputBuffer::append(std::string_view chunk) {
  if (chunk.empty()) return;
  std::lock_guard guard(lock_);
  data_.append(chunk);
}

std::size_t ProcessOutputBuffer::size() const {
  std::lock_guard guard(lock_);
  return data_.size();
}

std::string ProcessOutputBuffer::text() const {
  std::lock_guard guard(lock_);
  return isValidUTF8Quickly(data_) ? data_ : std::string();
}

std::string ProcessOutputBuffer::takeText() {
  std::string bytes;
  {
    std::lock_guard guard(lock_);
    bytes.swap(data_);
  }
  if (!isValidUTF8Quickly(bytes)) return {};
  return bytes;
}

std::string ProcessOutputBuffer::takeBytes() {
  std::string bytes;
  std::lock_guard guard(lock_);
  bytes.swap(data_);
  return bytes;
}

} // namespace halyard
