#include "ExtendedAttributes.hpp"

#include <cerrno>
#include <string_view>
#include <sys/xattr.h>
#include <system_error>

namespace macsim {

namespace {

constexpr std::string_view userPrefix = "user.";

std::string linuxName(const std::string& name) {
  return std::string(userPrefix) + name;
}

} // namespace

std::vector<std::string> ExtendedAttributes::names(const std::filesystem::path& path) {
  std::vector<std::string> result;
  const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
  if (size <= 0) return result;
  std::string buffer(static_cast<size_t>(size), '\0');
  const ssize_t read = ::llistxattr(path.c_str(), buffer.data(), buffer.size());
  if (read <= 0) return result;
  buffer.resize(static_cast<size_t>(read));
  size_t start = 0;
  while (start < buffer.size()) {
    const size_t end = buffer.find('\0', start);
    const std::string name = buffer.substr(start, end - start);
    if (name.rfind(userPrefix, 0) == 0) result.push_back(name.substr(userPrefix.size()));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return result;
}

std::optional<std::string> ExtendedAttributes::value(const std::filesystem::path& path,
                                                     const std::string& name) {
  const std::string key = linuxName(name);
  const ssize_t size = ::lgetxattr(path.c_str(), key.c_str(), nullptr, 0);
  if (size < 0) return std::nullopt;
  std::string buffer(static_cast<size_t>(size), '\0');
  const ssize_t read = ::lgetxattr(path.c_str(), key.c_str(), buffer.data(), buffer.size());
  if (read < 0) return std::nullopt;
  buffer.resize(static_cast<size_t>(read));
  return buffer;
}

void ExtendedAttributes::set(const std::filesystem::path& path, const std::string& name,
                             const std::string& value) {
  const std::string key = linuxName(name);
  if (::lsetxattr(path.c_str(), key.c_str(), value.data(), value.size(), 0) != 0)
    throw std::system_error(errno, std::generic_category());
}

void ExtendedAttributes::remove(const std::filesystem::path& path, const std::string& name) {
  const std::string key = linuxName(name);
  if (::lremovexattr(path.c_str(), key.c_str()) != 0)
    throw std::system_error(errno, std::generic_category());
}

void ExtendedAttributes::clear(const std::filesystem::path& path) {
  for (const auto& name : names(path)) {
    const std::string key = linuxName(name);
    ::lremovexattr(path.c_str(), key.c_str());
  }
}

void ExtendedAttributes::copy(const std::filesystem::path& source,
                              const std::filesystem::path& destination) {
  for (const auto& name : names(source)) {
    if (auto text = value(source, name)) {
      const std::string key = linuxName(name);
      ::lsetxattr(destination.c_str(), key.c_str(), text->data(), text->size(), 0);
    }
  }
}

} // namespace macsim
