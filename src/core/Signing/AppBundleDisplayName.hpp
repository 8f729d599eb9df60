#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace halyard {

// The human name of the app bundle at `bundle`: its Info.plist's CFBundleDisplayName, else its
// CFBundleName (each used only when it is text that is not blank, and then trimmed), else the
// bundle's file name without its extension. The Info.plist may be XML or binary. Never throws.
std::string appBundleDisplayName(const std::filesystem::path& bundle);

// The name an Info.plist's bytes give (CFBundleDisplayName, then CFBundleName, each only when it
// is text that is not blank, trimmed); none when the bytes are not a dictionary property list or
// give no name.
std::optional<std::string> infoPlistDisplayName(std::string_view infoPlistBytes);

} // namespace halyard
