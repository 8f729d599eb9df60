// bosun-reference: writes the manual page and the shell completions of bosun from the program's
// own tables. The build runs it; the install copies what it wrote.
//
//   bosun-reference FOLDER   writes FOLDER/bosun.1, bosun.bash, _bosun and bosun.fish
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/commands/ReferencePages.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/Error.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bosun-reference FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  try {
    std::filesystem::create_directories(folder);
    halyard::AtomicFile::writeAll(folder / "bosun.1", bosun::ReferencePages::manualPage());
    halyard::AtomicFile::writeAll(folder / "bosun.bash", bosun::ReferencePages::bashCompletion());
    halyard::AtomicFile::writeAll(folder / "_bosun", bosun::ReferencePages::zshCompletion());
    halyard::AtomicFile::writeAll(folder / "bosun.fish", bosun::ReferencePages::fishCompletion());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bosun-reference: %s\n", error.what());
    return 1;
  }
  return 0;
}
