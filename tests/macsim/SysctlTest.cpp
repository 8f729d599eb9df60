#include "StandInFixture.hpp"

#include <sys/utsname.h>

#include <gtest/gtest.h>

namespace macsim::testing {
namespace {

class SysctlTest : public StandInFixture {};

TEST_F(SysctlTest, AnswersTheProcessorQuestionFromTheKnobElseTheMachine) {
  utsname machine{};
  ASSERT_EQ(::uname(&machine), 0);
  const std::string native =
      std::string(machine.machine) == "aarch64" || std::string(machine.machine) == "arm64" ? "1"
                                                                                           : "0";
  struct Case {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int status;
    std::string out;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"-n", "hw.optional.arm64"}, {{"MACSIM_ARM64", "1"}}, 0, "1\n", ""},
      {{"-n", "hw.optional.arm64"}, {{"MACSIM_ARM64", "0"}}, 0, "0\n", ""},
      {{"-n", "hw.optional.arm64"}, {}, 0, native + "\n", ""},
      {{"hw.optional.arm64"}, {{"MACSIM_ARM64", "1"}}, 0, "hw.optional.arm64: 1\n", ""},
      {{"-n", "kern.nothing"}, {}, 1, "", "sysctl: unknown oid 'kern.nothing'\n"},
  };
  for (const auto& test : cases) {
    const auto result = run("sysctl", test.arguments, test.environment);
    EXPECT_EQ(result.status, test.status);
    EXPECT_EQ(result.standardOutput, test.out);
    EXPECT_EQ(result.standardError, test.err);
  }
}

} // namespace
} // namespace macsim::testing
