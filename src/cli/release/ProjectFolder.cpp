#include "cli/release/ProjectFolder.hpp"

#include <dirent.h>

#include <cerrno>
#include <system_error>

#include "cli/console/CLIError.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Design/DesignTemplate.hpp"
#include "core/Legal/LicenseDocumentLocator.hpp"
#include "core/Support/FinderNameOrder.hpp"
#include "core/Support/Text.hpp"
#include "core/Support/UserFolders.hpp"

namespace bosun {

namespace fs = std::filesystem;

namespace {

struct Locations {
  const fs::path& currentFolder;
  const fs::path& home;
};

[[noreturn]] void inputError(std::string message, std::optional<std::string> hint = std::nullopt) {
  throw CLIError(ExitCode::input, std::move(message), std::move(hint));
}

bool somethingExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

// The entries that can be inputs of a release, found by the extension of their names: apps, ZIP
// archives, templates and license documents (by extension only; their names decide later).
struct Candidates {
  std::vector<fs::path> apps;
  std::vector<fs::path> archives;
  std::vector<fs::path> templates;
  std::vector<fs::path> licenseDocuments;
};

bool hasExtension(std::string_view name, std::string_view lowerCaseExtension) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return false;
  return halyard::text::lowercasedASCII(name.substr(dot + 1)) == lowerCaseExtension;
}

// Lists the folder once and keeps the candidates among its visible entries, each kind in the
// Finder's order. Only the candidates are collated, so a folder crowded with other files costs
// little more than listing it. Nothing is found when the folder cannot be listed.
Candidates candidatesIn(const fs::path& folder, bool wantLicenseDocuments) {
  DIR* directory = ::opendir(folder.c_str());
  if (!directory) return {};
  struct Closer {
    DIR* directory;
    ~Closer() { ::closedir(directory); }
  } closer{directory};
  Candidates found;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(directory);
    if (!entry) {
      if (errno != 0) return {};
      break;
    }
    const std::string_view name = entry->d_name;
    if (name.empty() || name.front() == '.') continue;
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) continue;
    // Extensions longer than any we look for are skipped before anything is allocated.
    if (name.size() - dot - 1 > 10) continue;
    if (hasExtension(name, "app"))
      found.apps.push_back(folder / name);
    else if (hasExtension(name, "zip"))
      found.archives.push_back(folder / name);
    else if (hasExtension(name, halyard::DesignTemplate::fileExtension))
      found.templates.push_back(folder / name);
    else if (wantLicenseDocuments && halyard::LicenseDocumentLocator::hasSupportedExtension(name))
      found.licenseDocuments.push_back(folder / name);
  }
  for (auto* paths : {&found.apps, &found.archives, &found.templates})
    halyard::FinderNameOrder::sortByFileName(*paths);
  return found;
}

// A discovered entry may be a symbolic link to something that is gone; it cannot be released.
const fs::path& existing(const fs::path& entry) {
  if (!somethingExists(entry)) inputError(entry.string() + " does not exist.");
  return entry;
}

fs::path pickApp(const std::optional<fs::path>& explicitApp,
                 const std::optional<std::string>& named, const Candidates& entries,
                 const fs::path& folder, const Locations& locations) {
  if (explicitApp) {
    const std::string extension = lowerCasedPathExtension(*explicitApp);
    if (extension == "app" || extension == "zip") return *explicitApp;
    inputError(explicitApp->filename().string() + " is not an .app or .zip.",
               "Pass a folder, an .app or a .zip.");
  }

  if (named) {
    const std::string& name = *named;
    std::optional<fs::path> candidate;
    if (name.find('/') != std::string::npos) {
      candidate = standardizedPath(name, locations.currentFolder, locations.home);
    } else if (!name.empty() && name != "." && name != "..") {
      candidate = folder / name;
    }
    if (candidate && somethingExists(*candidate)) return *candidate;
    inputError("--app " + name + " was not found in " + folder.string() + ".");
  }

  const std::string folderName = folder.filename().string();
  const auto& apps = entries.apps;
  if (apps.size() == 1) return existing(apps.front());
  if (apps.size() > 1) {
    inputError(folderName + " contains more than one app: " + fileNamesJoined(apps) + ".",
               "Choose one with --app <name>.");
  }

  const auto& archives = entries.archives;
  if (archives.size() == 1) return existing(archives.front());
  if (archives.empty()) {
    inputError("No .app or .zip was found in " + folder.string() + ".",
               "Put your exported app (or a .zip of it) in the folder, or pass its path.");
  }
  inputError(folderName + " has no .app and more than one .zip.",
             "Choose one with --app <name.zip>.");
}

std::optional<fs::path> pickTemplate(const ParsedArguments& arguments, const Candidates& entries,
                                     const fs::path& folder, const Locations& locations) {
  if (arguments.hasFlag("no-template")) return std::nullopt;

  if (const auto given = arguments.value("template")) {
    const fs::path path = standardizedPath(*given, folder, locations.home);
    if (!somethingExists(path)) inputError("Template not found: " + path.string());
    return path;
  }

  const auto& templates = entries.templates;
  if (templates.empty()) return std::nullopt;
  if (templates.size() == 1) {
    if (!somethingExists(templates.front()))
      inputError("Template not found: " + templates.front().string());
    return templates.front();
  }
  inputError(folder.filename().string() +
                 " contains more than one template: " + fileNamesJoined(templates) + ".",
             "Choose one with --template <file.hyd>, or use --no-template.");
}

} // namespace

ProjectFolder ProjectFolder::resolve(const std::optional<std::string>& path,
                                     const ParsedArguments& arguments) {
  std::error_code error;
  fs::path currentFolder = fs::current_path(error);
  if (error) currentFolder = "/";
  return resolve(path, arguments, currentFolder, halyard::UserFolders::home());
}

ProjectFolder ProjectFolder::resolve(const std::optional<std::string>& path,
                                     const ParsedArguments& arguments,
                                     const fs::path& currentFolder, const fs::path& home) {
  const Locations locations{currentFolder, home};
  const fs::path given =
      standardizedPath(path.value_or(currentFolder.string()), currentFolder, home);
  if (!somethingExists(given)) inputError(given.string() + " does not exist.");

  std::error_code error;
  const bool isFolder = fs::is_directory(given, error);
  ProjectFolder project;
  std::optional<fs::path> explicitApp;
  if (isFolder && lowerCasedPathExtension(given) != "app") {
    project.folder = given;
  } else {
    project.folder = given.has_relative_path() ? given.parent_path() : given;
    explicitApp = given;
  }

  const bool wantLicenseDocuments = !arguments.hasFlag("no-license");
  Candidates entries = candidatesIn(project.folder, wantLicenseDocuments);
  project.appSource =
      pickApp(explicitApp, arguments.value("app"), entries, project.folder, locations);
  project.templateURL = pickTemplate(arguments, entries, project.folder, locations);
  if (wantLicenseDocuments) {
    // Every kind of license document is wanted.
    for (auto& match :
         halyard::LicenseDocumentLocator::classifyCandidates(std::move(entries.licenseDocuments)))
      project.legalDocuments.push_back(std::move(match.url));
  }
  project.isZip = lowerCasedPathExtension(project.appSource) == "zip";
  return project;
}

std::string fileNamesJoined(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  names.reserve(paths.size());
  for (const auto& path : paths)
    names.push_back(path.filename().string());
  return halyard::text::joined(names, ", ");
}

} // namespace bosun
