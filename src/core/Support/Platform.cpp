#include "core/Support/Platform.hpp"

#include <fcntl.h>
#include <sys/stat.h>

#if defined(__APPLE__)
#include <sys/attr.h>
#include <sys/param.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include "core/Support/Error.hpp"

namespace halyard {

namespace {

[[noreturn]] void fail(const char* call, const std::filesystem::path& path) {
  const int error = errno;
  throw Error("Halyard.platform", error,
              std::string(call) + " failed for " + path.string() + ": " + std::strerror(error));
}

} // namespace

std::optional<Platform::FileTime> Platform::creationTime(const std::filesystem::path& path) {
#if defined(__APPLE__)
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) fail("stat", path);
  return FileTime{info.st_birthtimespec.tv_sec, info.st_birthtimespec.tv_nsec};
#else
  struct statx info {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &info) != 0) fail("statx", path);
  if ((info.stx_mask & STATX_BTIME) == 0) return std::nullopt;
  return FileTime{info.stx_btime.tv_sec, info.stx_btime.tv_nsec};
#endif
}

std::uint64_t Platform::fileNumber(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) fail("stat", path);
  return static_cast<std::uint64_t>(info.st_ino);
}

std::optional<std::string> Platform::volumeName(const std::filesystem::path& mountPoint) {
#if defined(__APPLE__)
  struct VolumeNameBuffer {
    std::uint32_t length;
    attrreference_t name;
    char text[MAXPATHLEN * 3 + 1];
  } __attribute__((aligned(4), packed));
  struct attrlist request {};
  request.bitmapcount = ATTR_BIT_MAP_COUNT;
  request.volattr = ATTR_VOL_INFO | ATTR_VOL_NAME;
  VolumeNameBuffer buffer{};
  if (::getattrlist(mountPoint.c_str(), &request, &buffer, sizeof buffer, 0) != 0) {
    return std::nullopt;
  }
  const char* start = reinterpret_cast<const char*>(&buffer.name) + buffer.name.attr_dataoffset;
  const char* end = reinterpret_cast<const char*>(&buffer) + sizeof buffer;
  if (buffer.name.attr_length == 0 || start >= end) return std::nullopt;
  const std::string name(start, ::strnlen(start, static_cast<std::size_t>(end - start)));
  if (name.empty()) return std::nullopt;
  return name;
#else
  (void)mountPoint;
  return std::nullopt;
#endif
}

} // namespace halyard
