#include "cli/commands/BosunMain.hpp"

int main(int argc, char** argv) {
  return bosun::BosunMain::main(argc, argv);
}
