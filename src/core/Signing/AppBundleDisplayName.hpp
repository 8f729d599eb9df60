#pragma once

#include <filesystem>
#include <string>

namespace halyard {

// The human name of the app bundle at `bundle`: its Info.plist's CFBundleDisplayName, else its
// CFBundleName (each used only when it is text that is not blank, and then trimmed), else the
// bundle's file name without its extension. The Info.plist may be XML or binary. Never throws.
std::string appBundleDisplayName(const std::filesystem::path& bundle);

} // namespace halyard
