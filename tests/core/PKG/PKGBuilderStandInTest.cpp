// Whole builds under the stand-in tools, taken apart again with pkgutil. The temporary
// directory must be empty afterwards, whether the build succeeded, failed or was cancelled.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/PKG/PKGBuilder.hpp"
#include "core/PKG/PKGBuilderError.hpp"
#include "core/PKG/PKGDistribution.hpp"
#include "core/Process/CleanupRegistry.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/PropertyList.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class PKGBuilderStandInTest : public ::testing::Test {
protected:
  void SetUp() override {
    stand_.addIdentity(StandInRoot::installer);
    fs::create_directories(out());
  }
  void set(const std::string& name, const std::string& value) { stand_.set(name, value); }

  fs::path temporary() const { return stand_.temporary(); }
  fs::path out() const { return stand_.work() / "out"; }

  PKGBuildRequest request(const fs::path& app) const {
    PKGBuildRequest request;
    request.appURL = app;
    request.outputURL = out() / (app.stem().string() + ".pkg");
    request.title = app.stem().string();
    return request;
  }
  std::vector<std::string> build(const PKGBuildRequest& request) {
    std::vector<std::string> progress;
    PKGBuilder::build(request, [&](const std::string& line) { progress.push_back(line); });
    return progress;
  }
  // The package taken apart with `pkgutil --expand-full`.
  fs::path expand(const fs::path& package) const {
    const auto folder = stand_.work() / (package.stem().string() + "-expanded");
    stand_.toolOK("/usr/sbin/pkgutil", {"--expand-full", package.string(), folder.string()});
    return folder;
  }

  bosun::testing::StandInRootInForce stand_;
};

TEST_F(PKGBuilderStandInTest, SignedPackageWithLicensesInstallsTheAppUnchanged) {
  const auto app = stand_.makeApp("Demo", {"com.example.demo", "2.5", {"x86_64", "arm64"}});
  auto demo = request(app.string() + "/");
  demo.outputURL = out() / "Demo.pkg";
  demo.title = "Demo & Friends";
  demo.licenseFolders = {{"en", "{\\rtf1 English}"}, {"zh_Hans", "{\\rtf1 Chinese}"}};
  demo.signingIdentity = StandInRoot::installer;
  EXPECT_THAT(build(demo),
              ElementsAre("Preparing the app for the installer…", "Building the installer package…",
                          "Assembling and signing the installer…"));
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(bosun::testing::sortedFileNames(out()), ElementsAre("Demo.pkg"));
  const auto signature = stand_.tool("/usr/sbin/pkgutil", {"--check-signature", demo.outputURL});
  EXPECT_TRUE(signature.exitedWith(0));
  EXPECT_THAT(signature.standardOutput, HasSubstr("1. Developer ID Installer: Example Corp"));

  // The facts of the app and lipo's answer reach the definition (its bytes are tested apart).
  const auto expanded = expand(demo.outputURL);
  PKGDistribution expected{"Demo & Friends",
                           "x86_64,arm64",
                           "11.0",
                           "com.example.demo",
                           "2.5",
                           "com.example.demo.component.pkg",
                           true};
  EXPECT_EQ(bosun::testing::fileContents(expanded / "Distribution"), expected.text());
  EXPECT_THAT(bosun::testing::sortedFileNames(expanded / "Resources"),
              ElementsAre("en.lproj", "zh_Hans.lproj"));
  EXPECT_EQ(bosun::testing::fileContents(expanded / "Resources/en.lproj/License.rtf"),
            "{\\rtf1 English}");
  EXPECT_EQ(bosun::testing::fileContents(expanded / "Resources/zh_Hans.lproj/License.rtf"),
            "{\\rtf1 Chinese}");

  // Built from the edited component list: nothing is relocated.
  const auto component = expanded / "com.example.demo.component.pkg";
  const std::string info = bosun::testing::fileContents(component / "PackageInfo");
  EXPECT_THAT(info, HasSubstr("relocatable=\"false\" identifier=\"com.example.demo\""));
  EXPECT_THAT(info, HasSubstr("install-location=\"/Applications\""));
  EXPECT_THAT(info, HasSubstr("<relocate>\n    </relocate>"));
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(app)) {
    const auto copy = component / "Payload" / fs::relative(entry.path(), app.parent_path());
    ASSERT_TRUE(fs::exists(copy)) << copy;
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(bosun::testing::fileContents(copy), bosun::testing::fileContents(entry.path()))
        << copy;
    ++files;
  }
  EXPECT_GE(files, 3);
}

TEST_F(PKGBuilderStandInTest, UnsignedPackageReplacesThePreviousOne) {
  const auto app = stand_.makeApp("My Tool");
  // No identifier, versions or minimum system, and an executable lipo cannot read.
  auto info = PropertyList::dictionary();
  info.setString("CFBundleExecutable", "Missing");
  std::ofstream(app / "Contents/Info.plist", std::ios::trunc) << info.binary();
  std::ofstream(out() / "My Tool.pkg") << "an older package";
  auto tool = request(app);
  tool.signingIdentity = "  ";
  EXPECT_EQ(build(tool).back(), "Assembling the installer…");
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(bosun::testing::sortedFileNames(out()), ElementsAre("My Tool.pkg"));
  const auto signature = stand_.tool("/usr/sbin/pkgutil", {"--check-signature", tool.outputURL});
  EXPECT_TRUE(signature.exitedWith(1));
  EXPECT_THAT(signature.standardOutput, HasSubstr("   Status: no signature\n"));

  const auto expanded = expand(tool.outputURL);
  const std::string distribution = bosun::testing::fileContents(expanded / "Distribution");
  EXPECT_THAT(distribution, HasSubstr("hostArchitectures=\"arm64,x86_64\"/>\n"));
  EXPECT_THAT(distribution, HasSubstr(" version=\"1.0\" onConclusion=\"none\">"
                                      "com.halyard.My-Tool.component.pkg</pkg-ref>\n"));
  EXPECT_TRUE(fs::is_regular_file(expanded / "com.halyard.My-Tool.component.pkg/Payload/"
                                             "My Tool.app/Contents/MacOS/My Tool"));
}

TEST_F(PKGBuilderStandInTest, FailingProductbuildKeepsThePreviousPackageAndLeavesNothing) {
  const auto demo = request(stand_.makeApp("Demo"));
  std::ofstream(demo.outputURL) << "an older package";
  set("MACSIM_PRODUCTBUILD_FAIL", "1");
  set("MACSIM_PRODUCTBUILD_STDERR", "productbuild: error: The disk is full.");
  try {
    build(demo);
    ADD_FAILURE() << "the build succeeded";
  } catch (const PKGBuilderError& error) {
    EXPECT_EQ(error.description(), "productbuild failed: productbuild: error: The disk is full.");
  }
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(bosun::testing::sortedFileNames(out()), ElementsAre("Demo.pkg"));
  EXPECT_EQ(bosun::testing::fileContents(demo.outputURL), "an older package");
}

TEST_F(PKGBuilderStandInTest, UnsafeNamesAreRefusedBeforeAnythingIsMade) {
  const auto app = stand_.makeApp("Demo");
  const std::pair<std::string, std::string> cases[] = {
      {"../../escaped", "The bundle identifier \"../../escaped\" cannot name a file in the "
                        "installer package: it is empty or holds \"/\", \"..\" or control "
                        "characters."},
      {"com.example/demo", "\"com.example/demo\""},
      {"com.example..demo", "\"com.example..demo\""},
      {"com.\x1B[31mdemo", "\"com.\\x1b[31mdemo\""},
      {"", "\"\""},
      {"license", "The license folder \"../en\""},
  };
  for (const auto& [identifier, message] : cases) {
    auto info = PropertyList::dictionary();
    info.setString("CFBundleIdentifier", identifier);
    std::ofstream(app / "Contents/Info.plist", std::ios::trunc) << info.xml();
    auto demo = request(app);
    demo.licenseFolders = {{identifier == "license" ? "../en" : "en", "{\\rtf1 x}"}};
    try {
      build(demo);
      ADD_FAILURE() << "accepted " << identifier;
    } catch (const PKGBuilderError& error) {
      EXPECT_EQ(error.errorCase(), PKGBuilderError::Case::unsafeName);
      EXPECT_THAT(error.description(), HasSubstr(message));
    }
  }
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_TRUE(fs::is_empty(out()));
}

// Ctrl-C: the signal handler stops the tools and undoes the clean-up registry, then ends the
// process without unwinding the build, so the registry alone must leave nothing behind.
TEST_F(PKGBuilderStandInTest, CancellationLeavesNothingInTheTemporaryDirectory) {
  auto demo = request(stand_.makeApp("Demo"));
  demo.licenseFolders = {{"en", "{\\rtf1 x}"}};
  set("MACSIM_PRODUCTBUILD_DELAY", "60");
  std::atomic<bool> assembling{false};
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      PKGBuilder::build(demo, [&](const std::string& line) {
        assembling = assembling || line == "Assembling the installer…";
      });
    } catch (...) {
      failure = std::current_exception();
    }
  });
  while (!assembling)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // Most likely productbuild is running by now; the outcome is the same if it is not.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  CleanupRegistry::shared().undoAll();
  EXPECT_TRUE(fs::is_empty(temporary()));

  ProcessRegistry::shared().beginCancelling();
  worker.join();
  ProcessRegistry::shared().endCancelling();
  EXPECT_TRUE(failure);
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_TRUE(fs::is_empty(out()));
}

} // namespace
} // namespace halyard
