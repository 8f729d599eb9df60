#pragma once

namespace halyard {

// The processor of the Mac this runs on, as `sysctl -n hw.optional.arm64` answers (through the
// tool root).
struct HostProcessor {
  // True when the answer is 1. Any other answer, or a tool that does not run, counts as an Intel
  // Mac.
  static bool isAppleSilicon();
};

} // namespace halyard
