#include "core/Process/ProcessOutputBuffer.hpp"

namespace halyard {

void ProcessOutputBuffer::append(std::string_view chunk) {
  if (chunk.empty()) return;
  std::lock_guard guard(lock_);
  data_.append(chunk);
}

std::size_t ProcessOutputBuffer::size() const {
  std::lock_guard guard(lock_);
  return data_.size();
}

std::string ProcessOutputBuffer::takeBytes() {
  std::string bytes;
  std::lock_guard guard(lock_);
  bytes.swap(data_);
  return bytes;
}

} // namespace halyard
