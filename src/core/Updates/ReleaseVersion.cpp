#include "core/Updates/ReleaseVersion.hpp"

#include "core/Support/Version.hpp"

namespace halyard {

bool ReleaseVersion::isNewer(const std::optional<std::string>& candidate,
                             const std::optional<std::string>& current) {
  if (!candidate) return false;
  if (!current) return true;
  return Version::lenient(*candidate) > Version::lenient(*current);
}

} // namespace halyard
