#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "core/Support/Platform.hpp"

namespace halyard {

// The file-system questions the Finder formats ask, as replaceable functions: the system's
// answers by default, fixed answers in tests and wherever a record must not depend on the
// machine. An empty optional means the system keeps no such fact for that path; a failing
// system call throws.
struct FileFacts {
  std::function<std::optional<Platform::FileTime>(const std::filesystem::path&)> creationTime;
  std::function<std::optional<std::uint64_t>(const std::filesystem::path&)> fileNumber;
  std::function<std::optional<std::string>(const std::filesystem::path&)> volumeName;

  // The answers of Platform.
  static FileFacts system();
};

} // namespace halyard
