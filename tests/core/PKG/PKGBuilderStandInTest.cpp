// Whole builds under the stand-in tools: the package is taken apart again with pkgutil, and the
// temporary directory must be empty afterwards, whether the build succeeded, failed or was
// cancelled.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "core/PKG/PKGBuilder.hpp"
#include "core/PKG/PKGBuilderError.hpp"
#include "core/Process/ProcessRegistry.hpp"
#include "core/Support/CancellationError.hpp"
#include "core/Support/PropertyList.hpp"
#include "e2e/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using bosun::testing::StandInRoot;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string contents(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

std::vector<std::string> entries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Sets environment variables for one test and puts back what was there.
class ScopedEnvironment {
public:
  void set(const std::string& name, const std::string& value) {
    if (saved_.find(name) == saved_.end()) {
      const char* previous = std::getenv(name.c_str());
      saved_[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
    }
    ::setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

private:
  std::map<std::string, std::optional<std::string>> saved_;
};

class PKGBuilderStandInTest : public ::testing::Test {
protected:
  void SetUp() override {
    stand_.addIdentity(StandInRoot::installer);
    fs::create_directories(temporary());
    environment_.set("TMPDIR", temporary().string());
    environment_.set("BOSUN_TOOL_ROOT", stand_.root().string());
  }

  fs::path temporary() const { return stand_.home() / "builder-tmp"; }
  fs::path output(const std::string& name) const { return stand_.work() / "out" / name; }

  // The package taken apart with `pkgutil --expand-full`.
  fs::path expand(const fs::path& package) const {
    const auto folder = stand_.work() / (package.stem().string() + "-expanded");
    stand_.toolOK("/usr/sbin/pkgutil", {"--expand-full", package.string(), folder.string()});
    return folder;
  }

  std::vector<std::string> build(const PKGBuildRequest& request) {
    std::vector<std::string> progress;
    PKGBuilder().build(request, [&](const std::string& line) { progress.push_back(line); });
    return progress;
  }

  StandInRoot stand_;
  ScopedEnvironment environment_;
};

TEST_F(PKGBuilderStandInTest, SignedPackageWithLicensesInstallsTheAppUnchanged) {
  const auto app = stand_.makeApp("Demo", {"com.example.demo", "2.5", {"x86_64", "arm64"}});
  fs::create_directories(output(""));
  PKGBuildRequest request;
  request.appURL = app.string() + "/";
  request.outputURL = output("Demo.pkg");
  request.title = "Demo & Friends";
  request.licenseFolders = {{"en", "{\\rtf1 English}"}, {"zh_Hans", "{\\rtf1 Chinese}"}};
  request.signingIdentity = StandInRoot::installer;

  EXPECT_THAT(build(request),
              ElementsAre("Preparing the app for the installer…", "Building the installer package…",
                          "Assembling and signing the installer…"));
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(entries(output("")), ElementsAre("Demo.pkg"));

  const auto signature =
      stand_.tool("/usr/sbin/pkgutil", {"--check-signature", output("Demo.pkg")});
  EXPECT_TRUE(signature.exitedWith(0));
  EXPECT_THAT(signature.standardOutput, HasSubstr("1. Developer ID Installer: Example Corp"));

  const auto expanded = expand(output("Demo.pkg"));
  EXPECT_EQ(contents(expanded / "Distribution"),
            R"(<?xml version="1.0" encoding="utf-8"?>
<installer-gui-script minSpecVersion="2">
    <title>Demo &amp; Friends</title>
    <options customize="never" require-scripts="false" hostArchitectures="x86_64,arm64"/>
    <domains enable_localSystem="true" enable_currentUserHome="true" enable_anywhere="true"/>
    <license file="License.rtf"/>
    <volume-check>
        <allowed-os-versions>
            <os-version min="11.0"/>
        </allowed-os-versions>
    </volume-check>
    <choices-outline>
        <line choice="default">
            <line choice="com.example.demo"/>
        </line>
    </choices-outline>
    <choice id="default"/>
    <choice id="com.example.demo" visible="false">
        <pkg-ref id="com.example.demo"/>
    </choice>
    <pkg-ref id="com.example.demo" version="2.5" onConclusion="none">com.example.demo.component.pkg</pkg-ref>
</installer-gui-script>
)");
  EXPECT_THAT(entries(expanded / "Resources"), ElementsAre("en.lproj", "zh_Hans.lproj"));
  EXPECT_EQ(contents(expanded / "Resources/en.lproj/License.rtf"), "{\\rtf1 English}");
  EXPECT_EQ(contents(expanded / "Resources/zh_Hans.lproj/License.rtf"), "{\\rtf1 Chinese}");

  // The component was built from the edited property list: nothing may be relocated.
  const auto component = expanded / "com.example.demo.component.pkg";
  const std::string info = contents(component / "PackageInfo");
  EXPECT_THAT(info, HasSubstr("relocatable=\"false\" identifier=\"com.example.demo\""));
  EXPECT_THAT(info, HasSubstr("version=\"2.5\""));
  EXPECT_THAT(info, HasSubstr("install-location=\"/Applications\""));
  EXPECT_THAT(info, HasSubstr("<relocate>\n    </relocate>"));

  size_t files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(app)) {
    const auto relative = fs::relative(entry.path(), app.parent_path());
    const auto copy = component / "Payload" / relative;
    ASSERT_TRUE(fs::exists(copy)) << relative;
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(contents(copy), contents(entry.path())) << relative;
    ++files;
  }
  EXPECT_GE(files, 3u);
}

TEST_F(PKGBuilderStandInTest, UnsignedPackageReplacesThePreviousOne) {
  const auto app = stand_.makeApp("My Tool", {"unused", "9", {"arm64"}});
  // A binary Info.plist without identifier, versions or minimum system.
  auto info = PropertyList::dictionary();
  info.setString("CFBundleExecutable", "My Tool");
  std::ofstream(app / "Contents/Info.plist", std::ios::trunc) << info.binary();
  fs::create_directories(output(""));
  std::ofstream(output("My Tool.pkg")) << "an older package";

  PKGBuildRequest request;
  request.appURL = app;
  request.outputURL = output("My Tool.pkg");
  request.title = "My Tool";
  request.signingIdentity = "  ";
  EXPECT_THAT(build(request),
              ElementsAre("Preparing the app for the installer…", "Building the installer package…",
                          "Assembling the installer…"));
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(entries(output("")), ElementsAre("My Tool.pkg"));

  const auto signature =
      stand_.tool("/usr/sbin/pkgutil", {"--check-signature", output("My Tool.pkg")});
  EXPECT_TRUE(signature.exitedWith(1));
  EXPECT_THAT(signature.standardOutput, HasSubstr("   Status: no signature\n"));

  const auto expanded = expand(output("My Tool.pkg"));
  const std::string distribution = contents(expanded / "Distribution");
  EXPECT_THAT(distribution, HasSubstr("hostArchitectures=\"arm64\"/>\n"));
  EXPECT_THAT(distribution, HasSubstr("    <pkg-ref id=\"com.halyard.My-Tool\" version=\"1.0\" "
                                      "onConclusion=\"none\">com.halyard.My-Tool.component.pkg"
                                      "</pkg-ref>\n"));
  EXPECT_THAT(distribution, Not(HasSubstr("<license")));
  EXPECT_THAT(distribution, Not(HasSubstr("<volume-check>")));
  EXPECT_TRUE(
      fs::is_regular_file(expanded / "com.halyard.My-Tool.component.pkg/Payload/My Tool.app/"
                                     "Contents/MacOS/My Tool"));
}

TEST_F(PKGBuilderStandInTest, FailingProductbuildKeepsThePreviousPackageAndLeavesNothing) {
  const auto app = stand_.makeApp("Demo");
  fs::create_directories(output(""));
  std::ofstream(output("Demo.pkg")) << "an older package";
  environment_.set("MACSIM_PRODUCTBUILD_FAIL", "1");
  environment_.set("MACSIM_PRODUCTBUILD_STDERR", "productbuild: error: The disk is full.");

  PKGBuildRequest request;
  request.appURL = app;
  request.outputURL = output("Demo.pkg");
  request.title = "Demo";
  try {
    build(request);
    FAIL() << "the build succeeded";
  } catch (const PKGBuilderError& error) {
    EXPECT_EQ(error.description(), "productbuild failed: productbuild: error: The disk is full.");
  }
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_THAT(entries(output("")), ElementsAre("Demo.pkg"));
  EXPECT_EQ(contents(output("Demo.pkg")), "an older package");
}

TEST_F(PKGBuilderStandInTest, UnsafeNamesAreRefusedBeforeAnythingIsMade) {
  const auto app = stand_.makeApp("Demo");
  struct Case {
    std::string identifier;
    std::string folder;
    std::string message;
  };
  const Case cases[] = {
      {"../../escaped", "en", "The bundle identifier \"../../escaped\" cannot"},
      {"com.example/demo", "en", "The bundle identifier \"com.example/demo\" cannot"},
      {"com.example..demo", "en", "The bundle identifier \"com.example..demo\" cannot"},
      {"com.example.\x1B[31mdemo", "en", "The bundle identifier \"com.example.\\x1B[31mdemo\""},
      {"", "en", "The bundle identifier \"\" cannot"},
      {"com.example.demo", "../en", "The license folder \"../en\" cannot"},
  };
  for (const auto& c : cases) {
    auto info = PropertyList::dictionary();
    info.setString("CFBundleIdentifier", c.identifier);
    std::ofstream(app / "Contents/Info.plist", std::ios::trunc) << info.xml();
    PKGBuildRequest request;
    request.appURL = app;
    request.outputURL = output("Demo.pkg");
    request.licenseFolders = {{c.folder, "{\\rtf1 x}"}};
    try {
      build(request);
      ADD_FAILURE() << "accepted " << c.identifier;
    } catch (const PKGBuilderError& error) {
      EXPECT_EQ(error.errorCase(), PKGBuilderError::Case::unsafeName);
      EXPECT_THAT(error.description(), HasSubstr(c.message));
    }
  }
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_FALSE(fs::exists(output("")));
}

// Ctrl-C: the signal handler terminates the tools and runs the clean-up actions, then ends the
// process without unwinding the build. Discarding alone must therefore leave nothing behind.
TEST_F(PKGBuilderStandInTest, CancellationLeavesNothingInTheTemporaryDirectory) {
  const auto app = stand_.makeApp("Demo");
  environment_.set("MACSIM_PRODUCTBUILD_DELAY", "60");
  PKGBuildRequest request;
  request.appURL = app;
  request.outputURL = output("Demo.pkg");
  request.title = "Demo";
  request.licenseFolders = {{"en", "{\\rtf1 x}"}};

  PKGBuilder builder;
  std::mutex lock;
  std::condition_variable assembling;
  bool started = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      builder.build(request, [&](const std::string& line) {
        if (line != "Assembling the installer…") return;
        const std::lock_guard<std::mutex> guard(lock);
        started = true;
        assembling.notify_all();
      });
    } catch (...) {
      failure = std::current_exception();
    }
  });
  {
    std::unique_lock<std::mutex> guard(lock);
    assembling.wait(guard, [&] { return started; });
  }
  // Give the slow productbuild time to start, so that it is what the cancellation interrupts.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  builder.discardTemporaryFiles();
  EXPECT_TRUE(fs::is_empty(temporary()));

  ProcessRegistry::shared().beginCancelling();
  worker.join();
  ProcessRegistry::shared().endCancelling();
  ASSERT_TRUE(failure);
  EXPECT_THROW(std::rethrow_exception(failure), Error);
  EXPECT_TRUE(fs::is_empty(temporary()));
  EXPECT_FALSE(fs::exists(output("Demo.pkg")));
}

} // namespace
} // namespace halyard
