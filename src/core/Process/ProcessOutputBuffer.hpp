#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace halyard {

// The bytes one output pipe of a run has delivered so far. Every append and every read takes the
// buffer's own lock, so a reader and the finishing code may be on different threads.
class ProcessOutputBuffer {
public:
  // Appends the chunk; an empty chunk is ignored.
  void append(std::string_view chunk);

  std::size_t size() const;

  // The bytes exactly as they came (tool output may name paths that are not UTF-8), leaving the
  // buffer empty.
  std::string takeBytes();

private:
  mutable std::mutex lock_;
  std::string data_;
};

} // namespace halyard
