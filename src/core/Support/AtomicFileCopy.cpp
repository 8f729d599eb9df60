#include "core/Support/AtomicFileCopy.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "core/Support/UUID.hpp"

namespace halyard {

namespace {

std::error_code lastError() {
  return {errno, std::generic_category()};
}

std::error_code flushed(const std::filesystem::path& file) {
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return lastError();
  std::error_code error;
  if (::fsync(descriptor) != 0) error = lastError();
  ::close(descriptor);
  return error;
}

} // namespace

AtomicFileCopy::AtomicFileCopy(std::filesystem::path source, std::filesystem::path target)
    : source_(std::move(source)), target_(std::move(target)) {
  temporary_ = target_.parent_path() /
               ("." + target_.filename().string() + "." + UUID::randomString() + ".partial");
}

AtomicFileCopy::~AtomicFileCopy() {
  if (!committed_) ::unlink(temporary_.c_str());
}

std::error_code AtomicFileCopy::commit(std::optional<std::filesystem::perms> permissions) {
  std::error_code error;
  std::filesystem::copy_file(source_, temporary_, error);
  if (!error && permissions) std::filesystem::permissions(temporary_, *permissions, error);
  if (!error) error = flushed(temporary_);
  if (!error && ::rename(temporary_.c_str(), target_.c_str()) != 0) error = lastError();
  if (error) {
    ::unlink(temporary_.c_str());
    return error;
  }
  committed_ = true;
  return {};
}

std::error_code AtomicFileCopy::replace(const std::filesystem::path& finished,
                                        const std::filesystem::path& target) {
  if (const auto error = flushed(finished)) return error;
  if (::rename(finished.c_str(), target.c_str()) == 0) return {};
  if (errno != EXDEV) return lastError();
  AtomicFileCopy copy(finished, target);
  if (const auto error = copy.commit()) return error;
  ::unlink(finished.c_str());
  return {};
}

} // namespace halyard
