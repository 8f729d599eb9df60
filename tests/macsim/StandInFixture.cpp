#include "StandInFixture.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "support/ChildRun.hpp"

extern char** environ;

namespace fs = std::filesystem;

namespace macsim::testing {

namespace {

std::string toolPath(const std::string& tool) {
  static const std::map<std::string, std::string> paths = {
      {"diskutil", "usr/sbin/diskutil"},
      {"spctl", "usr/sbin/spctl"},
      {"pkgutil", "usr/sbin/pkgutil"},
      {"sysctl", "usr/sbin/sysctl"},
      {"notarytool", "Library/Developer/CommandLineTools/usr/bin/notarytool"},
      {"stapler", "Library/Developer/CommandLineTools/usr/bin/stapler"}};
  auto found = paths.find(tool);
  return found != paths.end() ? found->second : "usr/bin/" + tool;
}

} // namespace

RunResult spawn(const std::string& executable, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& input) {
  bosun::testing::RunOptions options;
  options.executable = executable;
  options.arguments = arguments;
  // The test program's environment without the stand-ins' own settings.
  for (char** item = environ; *item != nullptr; ++item) {
    const std::string entry = *item;
    const auto equals = entry.find('=');
    const std::string key = entry.substr(0, equals);
    if (key.rfind("MACSIM_", 0) == 0 || key == "BOSUN_TOOL_ROOT") continue;
    options.baseEnvironment[key] = equals == std::string::npos ? "" : entry.substr(equals + 1);
  }
  options.environment = environment;
  if (!input.empty()) options.standardInput = input;
  RunResult result;
  try {
    const auto run = bosun::testing::runProgram(options);
    result.status = run.signal != 0 ? 128 + run.signal : run.status;
    result.out = run.standardOutput;
    result.err = run.standardError;
  } catch (const std::exception& error) {
    result.err = error.what();
  }
  return result;
}

void StandInFixture::SetUp() {
  char pattern[] = "/tmp/macsim-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  base = pattern;
  root = base / "root";
  work = base / "work";
  fs::create_directories(work);
  const auto result = macsim({"init", root.string()});
  ASSERT_EQ(result.status, 0) << result.err;
}

void StandInFixture::TearDown() {
  std::error_code ignored;
  if (!base.empty()) fs::remove_all(base, ignored);
}

RunResult StandInFixture::run(const std::string& tool, const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& environment,
                              const std::string& input) const {
  return spawn((root / toolPath(tool)).string(), arguments, environment, input);
}

RunResult StandInFixture::macsim(const std::vector<std::string>& arguments) const {
  return spawn(MACSIM_BINARY, arguments, {{"BOSUN_TOOL_ROOT", root.string()}}, "");
}

void StandInFixture::writeFile(const fs::path& path, const std::string& text) const {
  fs::create_directories(path.parent_path());
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream << text;
}

std::string StandInFixture::readFile(const fs::path& path) const {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << stream.rdbuf();
  return buffer.str();
}

std::string StandInFixture::addIdentity(const std::string& name) const {
  const auto result = macsim({"identity", "add", name});
  EXPECT_EQ(result.status, 0) << result.err;
  return result.out.substr(0, 40);
}

fs::path StandInFixture::makeApp(const std::string& name, bool withNested) const {
  const fs::path app = work / (name + ".app");
  const fs::path contents = app / "Contents";
  writeFile(contents / "Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>CFBundleExecutable</key><string>" +
                name + "</string><key>CFBundleIdentifier</key><string>com.example." + name +
                "</string><key>CFBundleShortVersionString</key><string>1.2</string>"
                "</dict></plist>\n");
  macsim({"machO", "--arch", "x86_64", "--arch", "arm64", (contents / "MacOS" / name).string()});
  writeFile(contents / "Resources" / "readme.txt", "hello\n");
  if (withNested) {
    const fs::path framework = contents / "Frameworks" / "Kit.framework";
    macsim({"machO", "--type", "dylib", "--arch", "arm64",
            (framework / "Versions" / "A" / "Kit").string()});
    writeFile(framework / "Versions" / "A" / "Resources" / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<string>com.example.Kit</string></dict></plist>\n");
    fs::create_directory_symlink("A", framework / "Versions" / "Current");
    fs::create_symlink("Versions/Current/Kit", framework / "Kit");
    macsim({"machO", "--type", "dylib", "--arch", "arm64",
            (contents / "Frameworks" / "libextra.dylib").string()});
    const fs::path helper = contents / "Library" / "LoginItems" / "Helper.app" / "Contents";
    writeFile(helper / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
              "<string>Helper</string></dict></plist>\n");
    macsim({"machO", "--arch", "arm64", (helper / "MacOS" / "Helper").string()});
    macsim({"machO", "--arch", "arm64", (contents / "Helpers" / "tool").string()});
  }
  return app;
}

} // namespace macsim::testing
