#include "core/Import/BundleWalk.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr std::array<const char*, 16> packageExtensions{
    ".app",  ".appex", ".xpc",         ".bundle",     ".plugin", ".kext",     ".pkg",
    ".mpkg", ".rtfd",  ".qlgenerator", ".mdimporter", ".saver",  ".prefpane", ".systemextension",
    ".dext", ".wdgt"};

struct Entry {
  std::string name;
  BundleWalk::Type type;
};

BundleWalk::Type typeOf(int folder, const dirent* entry) {
  switch (entry->d_type) {
  case DT_DIR:
    return BundleWalk::Type::directory;
  case DT_REG:
    return BundleWalk::Type::regularFile;
  case DT_LNK:
    return BundleWalk::Type::symbolicLink;
  case DT_UNKNOWN:
    break;
  default:
    return BundleWalk::Type::other;
  }
  struct stat info {};
  if (::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return BundleWalk::Type::other;
  if (S_ISDIR(info.st_mode)) return BundleWalk::Type::directory;
  if (S_ISREG(info.st_mode)) return BundleWalk::Type::regularFile;
  if (S_ISLNK(info.st_mode)) return BundleWalk::Type::symbolicLink;
  return BundleWalk::Type::other;
}

// Returns false when the visitor stopped. Takes ownership of `descriptor`.
bool walkFolder(int descriptor, const std::filesystem::path& folder,
                const std::function<BundleWalk::Step(const BundleWalk::Item&)>& visit) {
  DIR* stream = ::fdopendir(descriptor);
  if (stream == nullptr) {
    ::close(descriptor);
    return true;
  }
  std::vector<Entry> entries;
  while (const dirent* entry = ::readdir(stream)) {
    if (entry->d_name[0] == '.') continue; // hidden, and the . and .. entries
    entries.push_back({entry->d_name, typeOf(descriptor, entry)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.name < b.name; });
  bool proceed = true;
  BundleWalk::Item item;
  item.parentDescriptor = descriptor;
  for (auto& entry : entries) {
    item.path = folder / entry.name;
    item.name = std::move(entry.name);
    item.type = entry.type;
    const auto step = visit(item);
    if (step == BundleWalk::Step::stop) {
      proceed = false;
      break;
    }
    if (step == BundleWalk::Step::skipChildren || item.type != BundleWalk::Type::directory ||
        BundleWalk::isPackageName(item.name))
      continue;
    const int child =
        ::openat(descriptor, item.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    if (!walkFolder(child, item.path, visit)) {
      proceed = false;
      break;
    }
  }
  ::closedir(stream);
  return proceed;
}

} // namespace

bool BundleWalk::Item::isExecutableFile() const {
  if (type != Type::regularFile) return false;
  struct stat info {};
  if (::fstatat(parentDescriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  return S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

bool BundleWalk::walk(const std::filesystem::path& folder,
                      const std::function<Step(const Item&)>& visit) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (descriptor < 0) return true;
  return walkFolder(descriptor, folder, visit);
}

bool BundleWalk::isPackageName(const std::string& name) {
  const auto lowered = text::lowercasedASCII(name);
  return std::any_of(packageExtensions.begin(), packageExtensions.end(),
                     [&](const char* extension) { return endsWith(lowered, extension); });
}

bool BundleWalk::endsWithAny(const std::string& lowered,
                             std::initializer_list<const char*> suffixes) {
  return std::any_of(suffixes.begin(), suffixes.end(),
                     [&](const char* suffix) { return endsWith(lowered, suffix); });
}

bool BundleWalk::endsWith(const std::string& lowered, const char* suffix) {
  const size_t length = std::strlen(suffix);
  return lowered.size() >= length && lowered.compare(lowered.size() - length, length, suffix) == 0;
}

bool BundleWalk::isInside(const std::filesystem::path& item,
                          const std::filesystem::path& container) {
  const auto& inner = item.native();
  const auto& outer = container.native();
  return inner.size() > outer.size() + 1 && inner.compare(0, outer.size(), outer) == 0 &&
         inner[outer.size()] == '/';
}

} // namespace halyard
