#pragma once

#include <filesystem>

#include "cli/release/ReleasePlan.hpp"
#include "core/DMG/FinderWindowScene.hpp"

namespace bosun {

// `--preview FILE.png`: the DMG's window as the Finder will show it, at twice the window size,
// so a person can look at it before anyone downloads the DMG. `start --dry-run` draws the
// window the plan would build; `inspect` draws the window of a finished DMG.
struct WindowPreview {
  // The plan's window: its background (the template's rendered design, or the default artwork),
  // the app's icon and the Applications folder with their names. Only `destination` is written;
  // the template is rendered in a temporary folder that goes away afterwards. Throws CLIError:
  // usage when the plan builds no DMG, input when the template cannot be used or the file
  // cannot be written, build when no picture could be drawn.
  static void write(const ReleasePlan& plan, const std::filesystem::path& destination);

  // Draws `scene` and writes it to `destination` (beside it under a temporary name, then renamed
  // over it). Throws CLIError as above.
  static void write(const halyard::FinderWindowScene& scene,
                    const std::filesystem::path& destination);
};

} // namespace bosun
