#pragma once

#include <filesystem>
#include <optional>

namespace halyard {

// A symbolic link inside a bundle whose target lies outside the bundle.
struct OutwardLink {
  std::filesystem::path link;
  // The target as the link names it.
  std::filesystem::path target;
};

// The links of a bundle that would let work on a copy of it reach other files: a copy keeps
// its links as links, so signing the copy would write through such a link into whatever it
// names. Links that stay inside (a framework's Versions/Current) are harmless.
namespace BundleLinks {

// The first link below `bundle` (the bundle itself followed when it is a link) that leads out
// of it: one with an absolute target (in a copy it would still name the original), or one whose
// target, resolved from the link's folder and through further links, is not inside the bundle.
// A link that cannot be resolved (a loop) counts as leading out. None when every link stays in.
std::optional<OutwardLink> firstLeadingOut(const std::filesystem::path& bundle);

} // namespace BundleLinks

} // namespace halyard
