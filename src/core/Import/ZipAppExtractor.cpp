#include "core/Import/ZipAppExtractor.hpp"

#include <sys/stat.h>

#include <system_error>
#include <vector>

#include "core/Import/BundleWalk.hpp"
#include "core/Process/Ditto.hpp"
#include "core/Support/FinderNameOrder.hpp"
#include "core/Support/Text.hpp"

namespace fs = std::filesystem;

namespace halyard {

namespace {

bool isDirectoryNoFollow(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRegularNoFollow(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

struct Candidate {
  fs::path path;
  size_t depth = 0;
};

// Depth-first, each folder's entries in the Finder's order, so that the first candidate found at
// the smallest depth is the one a person would see first.
void search(const fs::path& folder, size_t depth, std::optional<Candidate>& best) {
  if (best && best->depth <= depth) return; // nothing below can be shallower
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const auto name = it->path().filename().string();
    if (name.empty() || name[0] == '.' || name == "__MACOSX") continue;
    if (!isDirectoryNoFollow(it->path())) continue; // files and links
    entries.push_back(it->path());
  }
  FinderNameOrder::sortByFileName(entries);
  for (const auto& entry : entries) {
    const auto name = text::lowercasedASCII(entry.filename().string());
    if (BundleWalk::endsWith(name, ".app")) {
      if (isDirectoryNoFollow(entry / "Contents") &&
          isRegularNoFollow(entry / "Contents/Info.plist") && (!best || depth < best->depth))
        best = Candidate{entry, depth};
      continue; // never inside an app
    }
    if (BundleWalk::isPackageName(name)) continue;
    search(entry, depth + 1, best);
  }
}

} // namespace

ZipAppExtractor::ExtractionError
ZipAppExtractor::ExtractionError::dittoFailed(const std::string& message) {
  return ExtractionError(message.empty() ? "The archive could not be extracted." : message);
}

void ZipAppExtractor::extract(const fs::path& archive, const fs::path& destination) {
  try {
    Ditto(AppleTools::Runner::shared, std::nullopt).extract(archive, destination);
  } catch (const DittoError& error) {
    throw ExtractionError::dittoFailed(text::trimmed(error.result().standardError));
  }
}

std::optional<fs::path> ZipAppExtractor::findApp(const fs::path& folder) {
  std::optional<Candidate> best;
  search(folder, 0, best);
  if (!best) return std::nullopt;
  return best->path;
}

} // namespace halyard
