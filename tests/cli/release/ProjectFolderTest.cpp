#include <fstream>

#include <gtest/gtest.h>

#include "cli/console/CLIError.hpp"
#include "cli/release/ProjectFolder.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Support/TemporaryFolder.hpp"

using bosun::CLIError;
using bosun::ExitCode;
using bosun::ParsedArguments;
using bosun::ProjectFolder;
namespace fs = std::filesystem;

namespace {

// A home with a release folder "Releases" and a current folder "elsewhere".
class ProjectFolderTest : public ::testing::Test {
protected:
  halyard::TemporaryFolder home{"ProjectFolderTest_"};
  fs::path releases = home.path() / "Releases";
  fs::path elsewhere = home.path() / "elsewhere";

  void SetUp() override { fs::create_directories(elsewhere); }

  void add(std::initializer_list<std::string> names, const fs::path& folder = {}) {
    for (const auto& name : names) {
      const fs::path path = (folder.empty() ? releases : folder) / name;
      fs::create_directories(path.parent_path());
      if (bosun::lowerCasedPathExtension(path) == "app")
        fs::create_directories(path);
      else
        std::ofstream(path) << "x";
    }
  }

  ProjectFolder resolve(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "start");
    const ParsedArguments parsed(arguments);
    return ProjectFolder::resolve(parsed.firstPositional(), parsed, elsewhere, home.path());
  }

  // The input error's message and hint ("" when none).
  std::pair<std::string, std::string> failure(std::vector<std::string> arguments) {
    try {
      resolve(std::move(arguments));
    } catch (const CLIError& error) {
      EXPECT_EQ(error.code(), ExitCode::input);
      return {error.message(), error.hint().value_or("")};
    }
    ADD_FAILURE() << "resolved without error";
    return {};
  }
};

} // namespace

TEST_F(ProjectFolderTest, AFolderOrAnExplicitAppGivesTheAppTemplateAndLicenses) {
  add({"MyApp.app", "MyApp.zip", "design.hyd", "license.rtf", "notes.rtf", ".Secret.app"});
  auto project = resolve({releases.string() + "/./"});
  EXPECT_EQ(project.folder, releases);
  EXPECT_EQ(project.appSource, releases / "MyApp.app"); // apps win over ZIP archives
  EXPECT_FALSE(project.isZip);
  EXPECT_EQ(project.templateURL, releases / "design.hyd");
  EXPECT_EQ(project.legalDocuments, std::vector<fs::path>{releases / "license.rtf"});

  // The app's folder is the release folder; --app is ignored then.
  add({"App.ZIP", "Other.app"});
  project = resolve({"~/Releases/App.ZIP", "--app", "Other.app", "--no-license"});
  EXPECT_EQ(project.folder, releases);
  EXPECT_EQ(project.appSource, releases / "App.ZIP");
  EXPECT_TRUE(project.isZip);
  EXPECT_EQ(project.templateURL, releases / "design.hyd");
  EXPECT_TRUE(project.legalDocuments.empty());

  add({"Here.app"}, elsewhere);
  EXPECT_EQ(resolve({}).appSource, elsewhere / "Here.app"); // no argument: the current folder
}

TEST_F(ProjectFolderTest, EveryAmbiguityNamesTheOptionThatResolvesIt) {
  using Failure = std::pair<std::string, std::string>;
  add({"B.app", "A.app", "notes.txt"});
  EXPECT_EQ(failure({releases}), Failure("Releases contains more than one app: A.app, B.app.",
                                         "Choose one with --app <name>."));
  EXPECT_EQ(resolve({releases, "--app", "B.app"}).appSource, releases / "B.app");
  EXPECT_EQ(failure({releases, "--app", "Other.app"}),
            Failure("--app Other.app was not found in " + releases.string() + ".", ""));
  EXPECT_EQ(failure({releases / "notes.txt"}),
            Failure("notes.txt is not an .app or .zip.", "Pass a folder, an .app or a .zip."));
  EXPECT_EQ(failure({(releases / "gone/../Nope.app").string()}),
            Failure((releases / "Nope.app").string() + " does not exist.", ""));
  // A path in --app is taken from the current folder; its extension is not checked.
  add({"Build.bin"}, elsewhere);
  EXPECT_EQ(resolve({releases, "--app", "./Build.bin"}).appSource, elsewhere / "Build.bin");

  fs::remove_all(releases);
  add({"one.zip", "two.Zip"});
  EXPECT_EQ(failure({releases}), Failure("Releases has no .app and more than one .zip.",
                                         "Choose one with --app <name.zip>."));
  fs::remove_all(releases);
  add({".Secret.app"});
  EXPECT_EQ(failure({releases}),
            Failure("No .app or .zip was found in " + releases.string() + ".",
                    "Put your exported app (or a .zip of it) in the folder, or pass its path."));
}

TEST_F(ProjectFolderTest, TemplatesAreChosenInTheReleaseFolder) {
  using Failure = std::pair<std::string, std::string>;
  add({"MyApp.app", "a.hyd", "B.HYD"});
  EXPECT_EQ(failure({releases}),
            Failure("Releases contains more than one template: a.hyd, B.HYD.",
                    "Choose one with --template <file.hyd>, or use --no-template."));
  // Relative to the release folder, not to the current folder.
  EXPECT_EQ(resolve({releases, "--template", "a.hyd"}).templateURL, releases / "a.hyd");
  EXPECT_EQ(resolve({releases, "--no-template", "--template", "x.hyd"}).templateURL, std::nullopt);
  EXPECT_EQ(failure({releases, "--template", "sub/../x.hyd"}),
            Failure("Template not found: " + (releases / "x.hyd").string(), ""));
}

TEST_F(ProjectFolderTest, HostileFoldersEndInClearInputErrors) {
  add({"\xF0\x9F\x9A\x80 Rocket.app", "Bad\xFF.app"});
  // Symbols sort before letters in the Finder's order.
  EXPECT_EQ(failure({releases}).first,
            "Releases contains more than one app: \xF0\x9F\x9A\x80 Rocket.app, Bad\xFF.app.");
  fs::remove_all(releases);

  // A link that points nowhere cannot be released; one that points outside the folder can.
  add({"Real.app"}, elsewhere);
  fs::create_directories(releases);
  fs::create_symlink(home.path() / "missing.app", releases / "Dangling.app");
  EXPECT_EQ(failure({releases}).first, (releases / "Dangling.app").string() + " does not exist.");
  fs::remove(releases / "Dangling.app");
  fs::create_symlink(elsewhere / "Real.app", releases / "Linked.app");
  fs::create_symlink(releases / "design.hyd", releases / "design.hyd"); // a loop
  EXPECT_EQ(failure({releases}).first, "Template not found: " + (releases / "design.hyd").string());
  EXPECT_EQ(resolve({releases, "--no-template"}).appSource, releases / "Linked.app");
}
