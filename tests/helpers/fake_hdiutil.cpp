// A stand-in for hdiutil in the clean-up tests, linked as ROOT/usr/bin/hdiutil. Beside itself it
// keeps: hdiutil.log (each call's arguments, one line per call, appended), hdiutil-info.plist
// (printed for "info"), hdiutil-status (exit status, default 0), hdiutil-delay (seconds to sleep
// before answering).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const fs::path folder = fs::path(argv[0]).parent_path();
  {
    std::ofstream log(folder / "hdiutil.log", std::ios::app);
    for (int i = 1; i < argc; ++i)
      log << (i > 1 ? " " : "") << argv[i];
    log << "\n";
  }
  double delay = 0;
  if (std::ifstream(folder / "hdiutil-delay") >> delay) {
    std::this_thread::sleep_for(std::chrono::duration<double>(delay));
  }
  if (argc > 1 && std::string(argv[1]) == "info") {
    std::ifstream info(folder / "hdiutil-info.plist", std::ios::binary);
    std::cout << info.rdbuf();
  }
  int status = 0;
  std::ifstream(folder / "hdiutil-status") >> status;
  return status;
}
