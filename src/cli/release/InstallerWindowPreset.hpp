#pragma once

// The window sizes live in the core library, where the DMG artwork needs them; the front end
// keeps using them under its own names.
#include "core/DMG/InstallerWindowPreset.hpp"

namespace bosun {

using halyard::InstallerWindowPreset;
using halyard::InstallerWindowPresets;
using halyard::InstallerWindowSize;

} // namespace bosun
