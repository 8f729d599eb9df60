#include "Files.hpp"

#include "ExtendedAttributes.hpp"
#include "UUID.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace macsim {

std::string Files::read(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw std::runtime_error(path.string() + ": " + std::strerror(errno));
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  return buffer.str();
}

void Files::writeAtomically(const fs::path& path, const std::string& bytes) {
  const fs::path temporary =
      path.parent_path() / ("." + path.filename().string() + "." + UUID::make() + ".tmp");
  {
    std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
    if (!stream) throw std::runtime_error(temporary.string() + ": " + std::strerror(errno));
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.flush();
    if (!stream) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      throw std::runtime_error(path.string() + ": could not be written");
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) {
    fs::remove(temporary, error);
    throw std::runtime_error(path.string() + ": " + error.message());
  }
}

bool Files::exists(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool Files::isExecutableFile(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  return S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

std::vector<fs::path> Files::walk(const fs::path& folder) {
  std::vector<fs::path> items;
  std::error_code error;
  fs::recursive_directory_iterator iterator(folder, error);
  if (error) return items;
  for (const auto& entry : iterator)
    items.push_back(entry.path().lexically_relative(folder));
  std::sort(items.begin(), items.end());
  return items;
}

namespace {

void copyTimes(const fs::path& source, const fs::path& destination) {
  struct stat info {};
  if (::lstat(source.c_str(), &info) != 0) return;
  const struct timespec times[2] = {info.st_atim, info.st_mtim};
  ::utimensat(AT_FDCWD, destination.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void copyNode(const fs::path& source, const fs::path& destination, bool attributes) {
  struct stat info {};
  if (::lstat(source.c_str(), &info) != 0)
    throw std::runtime_error(source.string() + ": " + std::strerror(errno));
  if (S_ISLNK(info.st_mode)) {
    std::error_code ignored;
    if (Files::exists(destination)) fs::remove_all(destination, ignored);
    fs::create_symlink(fs::read_symlink(source), destination);
    copyTimes(source, destination);
    return;
  }
  if (S_ISDIR(info.st_mode)) {
    struct stat existing {};
    if (::lstat(destination.c_str(), &existing) == 0 && !S_ISDIR(existing.st_mode))
      fs::remove(destination);
    fs::create_directories(destination);
    for (const auto& entry : fs::directory_iterator(source))
      copyNode(entry.path(), destination / entry.path().filename(), attributes);
    ::chmod(destination.c_str(), info.st_mode & 07777);
    if (attributes) ExtendedAttributes::copy(source, destination);
    copyTimes(source, destination);
    return;
  }
  if (!S_ISREG(info.st_mode)) return; // devices, sockets and pipes are not copied
  std::error_code error;
  if (Files::exists(destination) && fs::is_directory(fs::symlink_status(destination)))
    fs::remove_all(destination, error);
  fs::copy_file(source, destination, fs::copy_options::overwrite_existing, error);
  if (error) throw std::runtime_error(destination.string() + ": " + error.message());
  ::chmod(destination.c_str(), info.st_mode & 07777);
  if (attributes) ExtendedAttributes::copy(source, destination);
  copyTimes(source, destination);
}

} // namespace

void Files::copyItem(const fs::path& source, const fs::path& destination, bool attributes) {
  copyNode(source, destination, attributes);
}

std::uint64_t Files::allocatedSize(const fs::path& folder) {
  constexpr std::uint64_t block = 4096;
  std::uint64_t total = 0;
  for (const auto& relative : walk(folder)) {
    struct stat info {};
    if (::lstat((folder / relative).c_str(), &info) != 0) continue;
    if (S_ISREG(info.st_mode))
      total += (static_cast<std::uint64_t>(info.st_size) + block - 1) / block * block;
    else
      total += block;
  }
  return total;
}

fs::path Files::absolute(const fs::path& path) {
  if (path.is_absolute()) return path.lexically_normal();
  return (fs::current_path() / path).lexically_normal();
}

bool Files::isInside(const fs::path& path, const fs::path& folder) {
  const auto relative = absolute(path).lexically_relative(absolute(folder));
  if (relative.empty()) return false;
  const auto first = *relative.begin();
  return first != "..";
}

} // namespace macsim
