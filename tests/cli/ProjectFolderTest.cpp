#include <fstream>

#include <gtest/gtest.h>

#include "cli/CLIError.hpp"
#include "cli/ProjectFolder.hpp"
#include "core/Support/TemporaryFolder.hpp"

using bosun::CLIError;
using bosun::ExitCode;
using bosun::ParsedArguments;
using bosun::ProjectFolder;
namespace fs = std::filesystem;

namespace {

class ProjectFolderTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder scratch{"ProjectFolderTest_"};
  fs::path releases = scratch.path() / "Releases";
  fs::path elsewhere = scratch.path() / "elsewhere";

  void SetUp() override {
    fs::create_directory(releases);
    fs::create_directory(elsewhere);
  }

  fs::path file(const fs::path& path) {
    std::ofstream(path) << "x";
    return path;
  }
  fs::path app(const fs::path& path) {
    fs::create_directories(path / "Contents");
    return path;
  }

  // Resolves `start ARGUMENTS...` with the current folder `elsewhere` and the home `scratch`.
  ProjectFolder resolve(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "start");
    const ParsedArguments parsed(arguments);
    return ProjectFolder::resolve(parsed.firstPositional(), parsed, elsewhere, scratch.path());
  }

  // The input error of `start ARGUMENTS...`.
  CLIError failure(std::vector<std::string> arguments) {
    try {
      resolve(std::move(arguments));
    } catch (const CLIError& error) {
      EXPECT_EQ(error.code(), ExitCode::input);
      return error;
    }
    ADD_FAILURE() << "resolved without error";
    return CLIError(ExitCode::success, "");
  }
};

std::vector<std::string> fileNames(const std::vector<fs::path>& paths) {
  std::vector<std::string> names;
  for (const auto& path : paths)
    names.push_back(path.filename().string());
  return names;
}

} // namespace

TEST_F(ProjectFolderTest, AFolderYieldsItsAppTemplateAndLicenses) {
  app(releases / "MyApp.app");
  file(releases / "MyApp.zip");
  file(releases / "design.hyd");
  file(releases / "license.rtf");
  file(releases / "Privacy.md");
  file(releases / "notes.rtf");
  const auto project = resolve({releases.string() + "/./"});
  EXPECT_EQ(project.folder, releases);
  EXPECT_EQ(project.appSource, releases / "MyApp.app"); // apps win over ZIP archives
  EXPECT_FALSE(project.isZip);
  EXPECT_EQ(project.templateURL, releases / "design.hyd");
  EXPECT_EQ(fileNames(project.legalDocuments),
            (std::vector<std::string>{"license.rtf", "Privacy.md"}));
}

TEST_F(ProjectFolderTest, AnExplicitAppOrArchiveUsesItsParentAsTheFolder) {
  app(releases / "MyApp.app");
  app(releases / "Other.app");
  file(releases / "eula.txt");
  auto project = resolve({"~/Releases/MyApp.app"});
  EXPECT_EQ(project.folder, releases);
  EXPECT_EQ(project.appSource, releases / "MyApp.app");
  EXPECT_EQ(fileNames(project.legalDocuments), (std::vector<std::string>{"eula.txt"}));

  file(releases / "App.ZIP");
  project = resolve({"../Releases/App.ZIP", "--app", "Other.app"}); // --app is ignored here
  EXPECT_EQ(project.appSource, releases / "App.ZIP");
  EXPECT_TRUE(project.isZip);

  file(releases / "notes.txt");
  const auto error = failure({releases / "notes.txt"});
  EXPECT_EQ(error.message(), "notes.txt is not an .app or .zip.");
  EXPECT_EQ(error.hint(), "Pass a folder, an .app or a .zip.");
}

TEST_F(ProjectFolderTest, AmbiguousOrMissingAppsNameTheOptionThatResolvesThem) {
  app(releases / "B.app");
  app(releases / "A.app");
  app(releases / ".Secret.app");
  auto error = failure({releases});
  EXPECT_EQ(error.message(), "Releases contains more than one app: A.app, B.app.");
  EXPECT_EQ(error.hint(), "Choose one with --app <name>.");
  EXPECT_EQ(resolve({releases, "--app", "B.app"}).appSource, releases / "B.app");

  error = failure({releases, "--app", "Other.app"});
  EXPECT_EQ(error.message(), "--app Other.app was not found in " + releases.string() + ".");
  EXPECT_EQ(error.hint(), std::nullopt);
  EXPECT_EQ(failure({releases, "--app", ""}).message(),
            "--app  was not found in " + releases.string() + ".");

  // A path in --app is taken from the current folder, and its extension is not checked.
  file(elsewhere / "Build.bin");
  EXPECT_EQ(resolve({releases, "--app", "./Build.bin"}).appSource, elsewhere / "Build.bin");
}

TEST_F(ProjectFolderTest, WithoutAnAppExactlyOneArchiveIsNeeded) {
  app(releases / ".Secret.app");
  auto error = failure({releases});
  EXPECT_EQ(error.message(), "No .app or .zip was found in " + releases.string() + ".");
  EXPECT_EQ(error.hint(),
            "Put your exported app (or a .zip of it) in the folder, or pass its path.");

  file(releases / "one.zip");
  file(releases / "two.Zip");
  error = failure({releases});
  EXPECT_EQ(error.message(), "Releases has no .app and more than one .zip.");
  EXPECT_EQ(error.hint(), "Choose one with --app <name.zip>.");

  fs::remove(releases / "two.Zip");
  EXPECT_EQ(resolve({releases}).appSource, releases / "one.zip");
}

TEST_F(ProjectFolderTest, TemplatesAreChosenInTheReleaseFolder) {
  app(releases / "MyApp.app");
  file(releases / "a.hyd");
  file(releases / "B.HYD");
  auto error = failure({releases});
  EXPECT_EQ(error.message(), "Releases contains more than one template: a.hyd, B.HYD.");
  EXPECT_EQ(error.hint(), "Choose one with --template <file.hyd>, or use --no-template.");

  // Relative to the release folder, not to the current folder (which is `elsewhere`).
  EXPECT_EQ(resolve({releases, "--template", "a.hyd"}).templateURL, releases / "a.hyd");
  EXPECT_EQ(resolve({releases, "--template", "~/Releases/B.HYD"}).templateURL, releases / "B.HYD");
  EXPECT_EQ(resolve({releases, "--no-template", "--template", "x.hyd"}).templateURL, std::nullopt);

  error = failure({releases, "--template", "sub/../x.hyd"});
  EXPECT_EQ(error.message(), "Template not found: " + (releases / "x.hyd").string());
  EXPECT_EQ(error.hint(), std::nullopt);
}

TEST_F(ProjectFolderTest, NoLicenseAndMissingArguments) {
  app(releases / "MyApp.app");
  file(releases / "license.rtf");
  EXPECT_TRUE(resolve({releases, "--no-license"}).legalDocuments.empty());

  const auto error = failure({(releases / "gone/../Nope.app").string()});
  EXPECT_EQ(error.message(), (releases / "Nope.app").string() + " does not exist.");
  EXPECT_EQ(error.hint(), std::nullopt);

  // No argument: the current folder.
  app(elsewhere / "Here.app");
  const auto project = resolve({});
  EXPECT_EQ(project.folder, elsewhere);
  EXPECT_EQ(project.appSource, elsewhere / "Here.app");
}

TEST_F(ProjectFolderTest, HostileFoldersEndInClearInputErrors) {
  // Thousands of entries, names that are not UTF-8 and names outside the BMP.
  for (int i = 0; i < 2000; ++i)
    file(releases / ("file " + std::to_string(i) + ".txt"));
  app(releases / "\xF0\x9F\x9A\x80 Rocket.app");
  EXPECT_EQ(resolve({releases}).appSource, releases / "\xF0\x9F\x9A\x80 Rocket.app");
  app(releases / "Bad\xFF.app");
  EXPECT_EQ(failure({releases}).message(),
            "Releases contains more than one app: \xF0\x9F\x9A\x80 Rocket.app, Bad\xFF.app.");
  fs::remove_all(releases / "Bad\xFF.app");
  fs::remove_all(releases / "\xF0\x9F\x9A\x80 Rocket.app");

  // A link that points nowhere cannot be released; one that points outside the folder can.
  fs::create_symlink(scratch.path() / "missing.app", releases / "Dangling.app");
  EXPECT_EQ(failure({releases}).message(),
            (releases / "Dangling.app").string() + " does not exist.");
  EXPECT_EQ(failure({(releases / "Dangling.app").string()}).message(),
            (releases / "Dangling.app").string() + " does not exist.");
  fs::remove(releases / "Dangling.app");
  app(elsewhere / "Real.app");
  fs::create_symlink(elsewhere / "Real.app", releases / "Linked.app");
  fs::create_symlink(scratch.path() / "missing.hyd", releases / "design.hyd");
  EXPECT_EQ(failure({releases}).message(),
            "Template not found: " + (releases / "design.hyd").string());
  const auto project = resolve({releases, "--no-template"});
  EXPECT_EQ(project.appSource, releases / "Linked.app");
}
