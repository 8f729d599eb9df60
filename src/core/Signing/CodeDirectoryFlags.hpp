#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard {

// The CodeDirectory flags `codesign -dv` reports on its CodeDirectory line: the hex value and the
// name of every flag set, "flags=0x12a00(kill,restrict,library-validation,runtime)", or
// "flags=0x0(none)".
struct CodeDirectoryFlags {
  static constexpr std::uint32_t runtimeBit = 0x10000;

  std::uint32_t value = 0;
  std::vector<std::string> names;

  // The first "flags=" of the output; none when there is none or its value is not hexadecimal.
  // The names in parentheses are optional (older systems print the value alone).
  static std::optional<CodeDirectoryFlags> parse(std::string_view codesignDetails);

  // The hardened runtime is on when "runtime" is one of the names, wherever it stands, or the
  // value has its bit.
  bool hardenedRuntime() const;
};

} // namespace halyard
