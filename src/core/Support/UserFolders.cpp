#include "core/Support/UserFolders.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace halyard {

namespace {
const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}
} // namespace

std::filesystem::path UserFolders::home() {
  if (const char* value = environment("HOME")) return value;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

std::filesystem::path UserFolders::temporary() {
  if (const char* value = environment("TMPDIR")) return value;
  return "/tmp";
}

std::filesystem::path UserFolders::caches() {
#ifdef __APPLE__
  return home() / "Library" / "Caches";
#else
  if (const char* value = environment("XDG_CACHE_HOME")) {
    std::filesystem::path path(value);
    if (path.is_absolute()) return path;
  }
  return home() / ".cache";
#endif
}

std::filesystem::path UserFolders::preferences() {
  return home() / "Library" / "Preferences";
}

} // namespace halyard
