#include "Dispatcher.hpp"

#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string invokedAs = argc > 0 ? argv[0] : "macsim";
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return macsim::Dispatcher::main(invokedAs, arguments);
}
