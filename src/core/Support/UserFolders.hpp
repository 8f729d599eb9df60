#pragma once

#include <filesystem>

namespace halyard {

// The user's folders, by the platform's rules. Read from the environment on every call.
struct UserFolders {
  // $HOME, else the password database's home folder, else "/".
  static std::filesystem::path home();

  // $TMPDIR when set and not empty, else /tmp.
  static std::filesystem::path temporary();

  // ~/Library/Caches on macOS; $XDG_CACHE_HOME (when absolute) or ~/.cache elsewhere.
  static std::filesystem::path caches();

  // ~/Library/Preferences, where the desktop app's preference domains live.
  static std::filesystem::path preferences();
};

} // namespace halyard
