#include "cli/BosunMain.hpp"

#include <cstdio>

#include "BosunVersion.hpp"

namespace bosun {

int BosunMain::main(int, char**) {
  std::printf("Bosun %s\n", kProjectVersion);
  return 0;
}

} // namespace bosun
