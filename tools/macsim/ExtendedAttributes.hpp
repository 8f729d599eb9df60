#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace macsim {

// Extended attributes as the Mac names them (com.apple.quarantine), kept as Linux user
// attributes (user.com.apple.quarantine). Symbolic links are never followed.
struct ExtendedAttributes {
  static std::vector<std::string> names(const std::filesystem::path& path);
  static std::optional<std::string> value(const std::filesystem::path& path,
                                          const std::string& name);
  // These two throw std::system_error when the file system refuses.
  static void set(const std::filesystem::path& path, const std::string& name,
                  const std::string& value);
  static void remove(const std::filesystem::path& path, const std::string& name);
  static void clear(const std::filesystem::path& path);
  static void copy(const std::filesystem::path& source, const std::filesystem::path& destination);
};

} // namespace macsim
