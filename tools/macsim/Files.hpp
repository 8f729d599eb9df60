#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace macsim {

// Small file-system operations shared by the stand-ins.
struct Files {
  static std::string read(const std::filesystem::path& path);
  // Writes the whole text, replacing the file by a rename so that readers never see half of it.
  static void writeAtomically(const std::filesystem::path& path, const std::string& bytes);
  static bool exists(const std::filesystem::path& path); // without following a final symlink
  static bool isExecutableFile(const std::filesystem::path& path);
  // Every item below `folder` (not following symbolic links), as paths relative to it, sorted.
  static std::vector<std::filesystem::path> walk(const std::filesystem::path& folder);
  // Copies a file, folder or symbolic link with permissions, modification times and extended
  // attributes; an existing folder at `destination` receives the source folder's contents.
  static void copyItem(const std::filesystem::path& source,
                       const std::filesystem::path& destination, bool attributes);
  // Bytes the items of a folder occupy on a volume: file sizes rounded up to 4 KiB blocks,
  // plus one block for each folder and symbolic link.
  static std::uint64_t allocatedSize(const std::filesystem::path& folder);
  // The path made absolute against the working folder, without resolving links.
  static std::filesystem::path absolute(const std::filesystem::path& path);
  // True when `path` lies inside `folder` (both taken lexically).
  static bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder);
};

} // namespace macsim
