#include "core/Import/BundleLinks.hpp"

#include <system_error>

namespace halyard {

namespace fs = std::filesystem;

namespace {

// True when `path` is `container` or lies inside it, component by component.
bool isWithin(const fs::path& path, const fs::path& container) {
  auto inner = path.begin();
  for (auto outer = container.begin(); outer != container.end(); ++outer, ++inner) {
    if (inner == path.end() || *inner != *outer) return false;
  }
  return true;
}

bool leadsOut(const fs::path& link, const fs::path& target, const fs::path& root) {
  if (target.is_absolute()) return true;
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(link.parent_path() / target, error);
  return error || !isWithin(resolved, root);
}

} // namespace

std::optional<OutwardLink> BundleLinks::firstLeadingOut(const fs::path& bundle) {
  std::error_code error;
  const fs::path root = fs::canonical(bundle, error);
  if (error) return std::nullopt; // nothing there to copy; the copy itself reports it
  fs::recursive_directory_iterator walk(root, error);
  for (const fs::recursive_directory_iterator end; !error && walk != end; walk.increment(error)) {
    if (!walk->is_symlink(error)) continue;
    const fs::path target = fs::read_symlink(walk->path(), error);
    if (error) return OutwardLink{walk->path(), {}};
    if (leadsOut(walk->path(), target, root)) return OutwardLink{walk->path(), target};
  }
  return std::nullopt;
}

} // namespace halyard
