#pragma once

#include <ctime>
#include <string>

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
};

} // namespace macsim
