#pragma once

#include <filesystem>
#include <string>

namespace bosun {

// Checks on the one file a command was given, made before any tool reads it. Each throws an input
// error (exit 5) that names the problem, showing the file as `name` with control characters made
// visible.
struct InputFile {
  // Something must be there: nothing typed, a name too long for the system, a link whose file is
  // gone and a missing file each get their own message.
  static void requireExisting(const std::string& typed, const std::filesystem::path& path,
                              const std::string& name);

  // A regular file this process can open for reading. A folder, FIFO, device or socket is
  // refused without being opened, so nothing ever blocks on it.
  static void requireReadableFile(const std::filesystem::path& path, const std::string& name);
};

} // namespace bosun
