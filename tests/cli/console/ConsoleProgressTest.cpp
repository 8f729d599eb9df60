#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "cli/console/Console.hpp"

namespace {

using namespace std::chrono_literals;

std::string contents(std::FILE* file) {
  std::string result;
  std::rewind(file);
  char buffer[4096];
  for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    result.append(buffer, count);
  std::fseek(file, 0, SEEK_END);
  return result;
}

// Without a terminal (a CI log), a long step gets one "still working" line per period; a period
// of 40 ms stands in for the minute.
TEST(ConsoleProgress, WithoutATerminalALongStepSaysItIsStillWorking) {
  std::FILE* output = std::tmpfile();
  std::FILE* error = std::tmpfile();
  std::string written;
  {
    bosun::Console console(fileno(output), fileno(error), {10ms, 10ms, 40ms});
    console.step("Waiting for Apple…");
    for (int attempt = 0; attempt < 1000; ++attempt) {
      written = contents(error);
      if (written.find("(2 min)") != std::string::npos) break;
      std::this_thread::sleep_for(10ms);
    }
    console.check("Signature", "", bosun::Console::Mark::passed);
  }
  EXPECT_EQ(written.substr(0, written.find("(2 min)") + 8),
            "› Waiting for Apple…\n… still working (1 min)\n… still working (2 min)\n");
  EXPECT_EQ(contents(output), "");
  std::fclose(output);
  std::fclose(error);
}

TEST(ConsoleProgress, ElapsedTimeText) {
  EXPECT_EQ(bosun::Console::elapsedText(3s), " (3 s)");
  EXPECT_EQ(bosun::Console::elapsedText(59s), " (59 s)");
  EXPECT_EQ(bosun::Console::elapsedText(185s), " (3 min 05 s)");
}

} // namespace
