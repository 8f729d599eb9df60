#include "cli/ProjectFolder.hpp"

#include <system_error>

#include "cli/CLIError.hpp"
#include "cli/StandardizedPath.hpp"
#include "core/Design/DesignTemplate.hpp"
#include "core/Legal/LicenseAgreement.hpp"
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

// The folder's entries without hidden ones, in the Finder's order; empty when the folder cannot be
// listed.
std::vector<fs::path> visibleEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  fs::directory_iterator iterator(folder, error);
  if (error) return {};
  for (const fs::directory_iterator end; iterator != end; iterator.increment(error)) {
    if (error) return {};
    const std::string name = iterator->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    entries.push_back(iterator->path());
  }
  if (error) return {};
  halyard::FinderNameOrder::sortByFileName(entries);
  return entries;
}

std::vector<fs::path> withExtension(const std::vector<fs::path>& entries,
                                    std::string_view extension) {
  std::vector<fs::path> result;
  for (const auto& entry : entries) {
    if (lowerCasedPathExtension(entry) == extension) result.push_back(entry);
  }
  return result;
}

std::string fileNamesJoined(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  names.reserve(paths.size());
  for (const auto& path : paths)
    names.push_back(path.filename().string());
  return halyard::text::joined(names, ", ");
}

// A discovered entry may be a symbolic link to something that is gone; it cannot be released.
const fs::path& existing(const fs::path& entry) {
  if (!somethingExists(entry)) inputError(entry.string() + " does not exist.");
  return entry;
}

fs::path pickApp(const std::optional<fs::path>& explicitApp,
                 const std::optional<std::string>& named, const std::vector<fs::path>& entries,
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
  const auto apps = withExtension(entries, "app");
  if (apps.size() == 1) return existing(apps.front());
  if (apps.size() > 1) {
    inputError(folderName + " contains more than one app: " + fileNamesJoined(apps) + ".",
               "Choose one with --app <name>.");
  }

  const auto archives = withExtension(entries, "zip");
  if (archives.size() == 1) return existing(archives.front());
  if (archives.empty()) {
    inputError("No .app or .zip was found in " + folder.string() + ".",
               "Put your exported app (or a .zip of it) in the folder, or pass its path.");
  }
  inputError(folderName + " has no .app and more than one .zip.",
             "Choose one with --app <name.zip>.");
}

std::optional<fs::path> pickTemplate(const ParsedArguments& arguments,
                                     const std::vector<fs::path>& entries, const fs::path& folder,
                                     const Locations& locations) {
  if (arguments.hasFlag("no-template")) return std::nullopt;

  if (const auto given = arguments.value("template")) {
    const fs::path path = standardizedPath(*given, folder, locations.home);
    if (!somethingExists(path)) inputError("Template not found: " + path.string());
    return path;
  }

  const auto templates = withExtension(entries, halyard::DesignTemplate::fileExtension);
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

  const std::vector<fs::path> entries = visibleEntries(project.folder);
  project.appSource =
      pickApp(explicitApp, arguments.value("app"), entries, project.folder, locations);
  project.templateURL = pickTemplate(arguments, entries, project.folder, locations);
  if (!arguments.hasFlag("no-license")) {
    project.legalDocuments = halyard::LicenseAgreement::documentURLs(
        project.folder,
        {halyard::kAllLicenseDocumentKinds.begin(), halyard::kAllLicenseDocumentKinds.end()});
  }
  project.isZip = lowerCasedPathExtension(project.appSource) == "zip";
  return project;
}

} // namespace bosun
