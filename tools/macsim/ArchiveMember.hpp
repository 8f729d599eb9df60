#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace macsim {

// One item of an archive, held in memory.
struct ArchiveMember {
  enum class Type { file, directory, symlink };
  std::string name; // relative, "/"-separated, no trailing slash
  Type type = Type::file;
  std::string data;
  std::string linkTarget;
  unsigned mode = 0644;
  std::time_t modified = 0;
  // Extended attributes under their file-system names ("user.com.apple.FinderInfo"); kept by
  // the tar format only.
  std::vector<std::pair<std::string, std::string>> attributes;
};

} // namespace macsim
