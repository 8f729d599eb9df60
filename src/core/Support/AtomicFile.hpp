#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace halyard {

// Writes a file so that readers only ever see the old content or the complete new one: the
// bytes go to a temporary file beside the target, are flushed to disk, and replace the target
// by rename on commit(). Without commit() (an error on the way) the temporary file is removed
// and the target is untouched.
class AtomicFile {
public:
  // Throws halyard::Error (domain "Halyard.atomicFile") when the temporary file cannot be made.
  explicit AtomicFile(std::filesystem::path target, mode_t mode = 0644);
  ~AtomicFile();

  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  void write(std::string_view bytes);
  void commit();

  // Convenience: the whole content in one go.
  static void writeAll(const std::filesystem::path& target, std::string_view bytes,
                       mode_t mode = 0644);

private:
  [[noreturn]] void fail(const char* operation);

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  int descriptor_ = -1;
  bool committed_ = false;
};

} // namespace halyard
