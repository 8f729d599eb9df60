#pragma once

#include <filesystem>

#include "cli/ReleasePlan.hpp"

namespace bosun {

// `start --dry-run --preview FILE.png`: the background picture the plan's DMG would carry (the
// template's rendered design, or the default artwork), at twice the window size, so a person can
// look at the window before building it. Only FILE.png is written; the template is rendered in a
// temporary folder that goes away afterwards.
struct BackgroundPreview {
  // Writes the picture to `destination` (beside it under a temporary name, then renamed over it).
  // Throws CLIError: usage when the plan builds no DMG, input when the template cannot be used or
  // the file cannot be written, build when no picture could be drawn.
  static void write(const ReleasePlan& plan, const std::filesystem::path& destination);
};

} // namespace bosun
