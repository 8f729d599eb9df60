#include "CodeLayout.hpp"

#include "FileTrailer.hpp"
#include "Files.hpp"
#include "MachOFile.hpp"
#include "PropertyList.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr std::array<const char*, 14> bundleExtensions = {
    ".app",         ".framework",  ".xpc",   ".appex",    ".bundle",          ".plugin", ".kext",
    ".qlgenerator", ".mdimporter", ".saver", ".prefPane", ".systemextension", ".dext",   ".wdgt"};

constexpr std::array<const char*, 10> codeFolders = {"MacOS",
                                                     "Frameworks",
                                                     "SharedFrameworks",
                                                     "PlugIns",
                                                     "XPCServices",
                                                     "Helpers",
                                                     "Library/LoginItems",
                                                     "Library/QuickLook",
                                                     "Library/Spotlight",
                                                     "Library/SystemExtensions"};

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool isDirectory(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRegular(const fs::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> executableName(const fs::path& infoPlist) {
  return PropertyList::readFile(infoPlist).string("CFBundleExecutable");
}

bool looksLikeCode(const fs::path& file) {
  const std::string name = lower(file.filename().string());
  for (const char* suffix : {".dylib", ".so", ".node"})
    if (name.size() > std::string(suffix).size() &&
        name.compare(name.size() - std::string(suffix).size(), std::string::npos, suffix) == 0)
      return true;
  if (Files::isExecutableFile(file)) return true;
  return MachOFile::read(file).has_value();
}

void collectNested(const fs::path& folder, const std::optional<fs::path>& mainExecutable,
                   std::vector<fs::path>& result) {
  std::error_code error;
  std::vector<fs::path> entries;
  for (const auto& entry : fs::directory_iterator(folder, error))
    entries.push_back(entry.path());
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    if (isDirectory(entry)) {
      if (CodeLayout::hasBundleExtension(entry))
        result.push_back(entry);
      else
        collectNested(entry, mainExecutable, result);
    } else if (isRegular(entry)) {
      if (mainExecutable && entry == *mainExecutable) continue;
      if (looksLikeCode(entry)) result.push_back(entry);
    }
  }
}

} // namespace

bool CodeLayout::hasBundleExtension(const fs::path& path) {
  const std::string extension = lower(path.extension().string());
  return std::any_of(bundleExtensions.begin(), bundleExtensions.end(),
                     [&](const char* known) { return extension == lower(known); });
}

CodeLayout CodeLayout::of(const fs::path& given) {
  CodeLayout layout;
  layout.path = given;
  std::error_code error;
  const auto status = fs::status(given, error);
  if (error || !fs::exists(status)) return layout;
  if (!fs::is_directory(status)) {
    layout.kind = Kind::file;
    return layout;
  }
  const fs::path stem = given.filename().empty() ? given.parent_path().stem() : given.stem();
  if (fs::is_directory(given / "Contents")) {
    layout.contentsStyle = true;
    layout.signRoot = given / "Contents";
    layout.infoPlist = layout.signRoot / "Info.plist";
    const fs::path folder = layout.signRoot / "MacOS";
    const auto name = executableName(layout.infoPlist);
    if (name && isRegular(folder / *name))
      layout.mainExecutable = folder / *name;
    else if (!name && isRegular(folder / stem))
      layout.mainExecutable = folder / stem;
    if (fs::exists(layout.infoPlist) || fs::is_directory(folder)) layout.kind = Kind::bundle;
  } else if (fs::is_directory(given / "Versions")) {
    fs::path version = given / "Versions" / "Current";
    if (!fs::is_directory(version)) {
      version.clear();
      for (const auto& entry : fs::directory_iterator(given / "Versions", error))
        if (entry.is_directory()) version = entry.path();
    } else {
      version = given / "Versions" / fs::read_symlink(version, error);
      if (error) version = given / "Versions" / "Current";
    }
    if (!version.empty()) {
      layout.signRoot = version.lexically_normal();
      layout.infoPlist = layout.signRoot / "Resources" / "Info.plist";
      const auto name = executableName(layout.infoPlist).value_or(stem.string());
      if (isRegular(layout.signRoot / name)) layout.mainExecutable = layout.signRoot / name;
      layout.kind = Kind::bundle;
    }
  } else if (fs::exists(given / "Info.plist") || hasBundleExtension(given)) {
    layout.signRoot = given;
    layout.infoPlist = given / "Info.plist";
    const auto name = executableName(layout.infoPlist).value_or(stem.string());
    if (isRegular(given / name)) layout.mainExecutable = given / name;
    layout.kind = Kind::bundle;
  }
  if (layout.kind == Kind::missing) layout.kind = Kind::folder;
  return layout;
}

bool CodeLayout::isApp() const {
  // "X.app/" (as shells complete folder names) names the app as well.
  const fs::path named = path.filename().empty() ? path.parent_path() : path;
  return kind == Kind::bundle && lower(named.extension().string()) == ".app";
}

std::optional<std::string> CodeLayout::bundleIdentifier() const {
  return PropertyList::readFile(infoPlist).string("CFBundleIdentifier");
}

int CodeLayout::infoPlistEntries() const {
  auto list = PropertyList::readFile(infoPlist);
  return list.isDictionary() ? static_cast<int>(plist_dict_get_size(list.node())) : 0;
}

std::vector<fs::path> CodeLayout::nestedCode() const {
  std::vector<fs::path> result;
  if (kind != Kind::bundle) return result;
  for (const char* folder : codeFolders) {
    const fs::path path = signRoot / folder;
    if (isDirectory(path)) collectNested(path, mainExecutable, result);
  }
  return result;
}

std::string CodeLayout::formatDescription() const {
  if (kind == Kind::file) {
    const auto trailer = FileTrailer::read(path);
    if (trailer.metadata.contains("image")) return "disk image";
    if (auto header = MachOFile::read(path)) return MachOFile::describe(*header);
    return "generic";
  }
  std::string prefix = isApp() ? "app bundle" : "bundle";
  if (!mainExecutable) return prefix;
  if (auto header = MachOFile::read(*mainExecutable))
    return prefix + " with " + MachOFile::describe(*header);
  return prefix + " with generic";
}

std::vector<fs::path> CodeLayout::unsealedRootItems() const {
  std::vector<fs::path> items;
  if (!contentsStyle) return items;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(path, error))
    if (entry.path().filename() != "Contents") items.push_back(entry.path());
  std::sort(items.begin(), items.end());
  return items;
}

std::vector<fs::path> CodeLayout::escapingLinks() const {
  std::vector<fs::path> links;
  if (kind != Kind::bundle) return links;
  const fs::path top = Files::absolute(path);
  for (const auto& relative : Files::walk(path)) {
    const fs::path item = path / relative;
    if (!fs::is_symlink(fs::symlink_status(item))) continue;
    const fs::path target = fs::read_symlink(item);
    const fs::path resolved =
        target.is_absolute() ? target : (Files::absolute(item).parent_path() / target);
    if (!Files::isInside(resolved.lexically_normal(), top)) links.push_back(item);
  }
  return links;
}

} // namespace macsim
