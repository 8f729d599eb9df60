#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Output.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

namespace macsim {

namespace {

// hw.optional.arm64: MACSIM_ARM64 when set (1 or 0), else whether this machine is an ARM one.
std::string arm64Value() {
  if (const char* knob = std::getenv("MACSIM_ARM64"); knob != nullptr && *knob != '\0')
    return std::strcmp(knob, "0") == 0 ? "0" : "1";
  utsname machine{};
  if (::uname(&machine) != 0) return "0";
  const std::string name = machine.machine;
  return name == "aarch64" || name == "arm64" ? "1" : "0";
}

} // namespace

// `sysctl [-n] NAME...`: the values the program asks about; other names are unknown.
int runSysctl(const ToolContext& context) {
  bool valuesOnly = false;
  bool any = false;
  for (const auto& argument : context.arguments) {
    if (argument == "-n") {
      valuesOnly = true;
      continue;
    }
    if (!argument.empty() && argument[0] == '-')
      throw ToolFailure("sysctl: illegal option -- " + argument.substr(1), 64);
    if (argument != "hw.optional.arm64")
      throw ToolFailure("sysctl: unknown oid '" + argument + "'", 1);
    Output::outLine(valuesOnly ? arm64Value() : argument + ": " + arm64Value());
    any = true;
  }
  if (!any) throw ToolFailure("usage: sysctl [-n] name ...", 64);
  return 0;
}

} // namespace macsim
