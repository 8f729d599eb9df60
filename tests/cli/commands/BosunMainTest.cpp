#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "cli/commands/BosunMain.hpp"
#include "cli/console/Console.hpp"
#include "core/Process/ChildProcess.hpp"
#include "core/Support/HalyardCoreLog.hpp"

using namespace bosun;

namespace {
// Sends descriptor 2 (where the shared console writes its messages) into a file while alive.
class CapturedStandardError {
public:
  CapturedStandardError() : file_(std::tmpfile()), saved_(::dup(STDERR_FILENO)) {
    ::dup2(fileno(file_), STDERR_FILENO);
  }
  ~CapturedStandardError() {
    restore();
    std::fclose(file_);
  }
  std::string text() {
    restore();
    std::string result;
    std::rewind(file_);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
      result.append(buffer, n);
    return result;
  }

private:
  void restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_;
};
} // namespace

TEST(BosunMain, LoggingHooksPrintDetailLinesOnlyWhenVerbose) {
  BosunMain::installLogging();
  const halyard::ChildProcess child(4242, "/usr/bin/xcrun",
                                    {"notarytool", "store-credentials", "--password", "secret"});
  const halyard::ChildProcess pathless(4243, "", {"a", "b"});
  Console& console = Console::shared();
  std::string printed;
  {
    CapturedStandardError captured;
    console.configure(false, true, false, false);
    halyard::HalyardCoreLog::launched(child);
    halyard::HalyardCoreLog::launched(pathless);
    halyard::HalyardCoreLog::noteMessage("Stapling…");
    halyard::HalyardCoreLog::debugMessage("line 1\nline 2");
    console.configure(false, false, false, false);
    halyard::HalyardCoreLog::noteMessage("not shown");
    printed = captured.text();
  }
  halyard::HalyardCoreLog::processLaunched = nullptr;
  halyard::HalyardCoreLog::note = nullptr;
  halyard::HalyardCoreLog::debug = nullptr;
  EXPECT_EQ(printed, "  │ $ /usr/bin/xcrun notarytool store-credentials --password <redacted>\n"
                     "  │ $  a b\n"
                     "  │ Stapling…\n"
                     "  │ line 1\n"
                     "  │ line 2\n");
}
