#pragma once

#include <filesystem>
#include <optional>
#include <system_error>

namespace halyard {

// The one way a finished file takes the place of a user-visible one (a release, a disk image
// changed in place, a download, the updated command).
//
// Copies a file over another so that the target only ever holds its old content or the whole
// copy: the bytes go to a hidden file beside the target, are flushed to disk and replace the
// target by rename. An interruption leaves the old target (and at worst the hidden partial file,
// which the destructor removes when it gets to run). The temporary path is known before the copy
// starts, so that cancellation can remove it from another thread.
class AtomicFileCopy {
public:
  AtomicFileCopy(std::filesystem::path source, std::filesystem::path target);
  ~AtomicFileCopy();

  AtomicFileCopy(const AtomicFileCopy&) = delete;
  AtomicFileCopy& operator=(const AtomicFileCopy&) = delete;

  // "." + the target's name + "." + a random UUID + ".partial", in the target's folder.
  const std::filesystem::path& temporaryPath() const { return temporary_; }

  // Copies, flushes and renames; `permissions`, when given, are set on the copy before the
  // rename. On failure the target is untouched, the partial file is removed and the error is
  // returned (a rename over a folder fails; nothing is ever removed recursively).
  std::error_code commit(std::optional<std::filesystem::perms> permissions = std::nullopt);

  // Puts a finished file in the target's place: flushed to disk, then renamed over the target;
  // from another volume, copied beside the target first and then removed. On failure the target
  // is untouched (and `finished` is where it was) and the error is returned.
  static std::error_code replace(const std::filesystem::path& finished,
                                 const std::filesystem::path& target);

private:
  std::filesystem::path source_;
  std::filesystem::path target_;
  std::filesystem::path temporary_;
  bool committed_ = false;
};

} // namespace halyard
