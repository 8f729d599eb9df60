#pragma once

// A fresh stand-in root (`macsim init`) in a fresh home folder, shared by the stand-ins' own
// tests, the core tests that run the library against the stand-ins, and the end-to-end tests.
// The fixtures are made with the stand-in tools themselves: identities and notary profiles, app
// bundles with real Mach-O executables, signed, notarized and stapled apps, DMGs and PKGs. Every
// tool call goes through the stand-ins, so a fixture is exactly what the real tools would have
// produced under the same root. Failing set-up steps throw std::runtime_error with the tool's
// output.

#include <fstream>
#include <regex>
#include <stdexcept>

#include "BosunRun.hpp"
#include "ScopedEnvironment.hpp"

namespace bosun::testing {

// What an app bundle fixture holds.
struct AppFixture {
  std::string identifier = "com.example.sample";
  std::string version = "1.0";
  std::vector<std::string> architectures = {"arm64", "x86_64"};
  // Nested code as well: a framework, a dylib, a helper app and a helper tool.
  bool nested = false;
};

// An attached read-write image.
struct StandInAttachment {
  std::string device;
  std::filesystem::path mountPoint;
};

class StandInRoot {
public:
  // The identities and profile most tests use.
  static constexpr const char* application = "Developer ID Application: Example Corp (A1B2C3D4E5)";
  static constexpr const char* installer = "Developer ID Installer: Example Corp (A1B2C3D4E5)";
  static constexpr const char* development = "Apple Development: dev@example.com (F6G7H8J9K0)";
  static constexpr const char* profile = "bosun-tests";
  // The notary service is asked for a verdict this often (seconds) under the stand-ins.
  static constexpr const char* notaryPollVariable = "BOSUN_TEST_NOTARY_POLL";
  static constexpr const char* notaryPoll = "0.05";

  StandInRoot() {
    std::filesystem::create_directories(work());
    checked(runProgram(macsimOptions({"init", root().string()})), "macsim init");
  }

  const std::filesystem::path& home() const { return sandbox_.home(); }
  std::filesystem::path root() const { return home() / "stand-in root"; }
  // A folder for fixtures.
  std::filesystem::path work() const { return home() / "work"; }

  // The scrubbed environment of BosunRun with the stand-in root in force.
  std::map<std::string, std::string> environment() const {
    auto environment = scrubbedEnvironment(home());
    environment["BOSUN_TOOL_ROOT"] = root().string();
    environment[notaryPollVariable] = notaryPoll;
    return environment;
  }

  // `bosun ARGUMENTS`, run in the fixture folder with the stand-in root in force.
  RunResult bosun(std::vector<std::string> arguments,
                  std::map<std::string, std::string> extraEnvironment = {}) const {
    auto options = sandbox_.options(std::move(arguments));
    options.baseEnvironment = environment();
    options.environment = std::move(extraEnvironment);
    options.workingDirectory = work();
    return runProgram(options);
  }

  // `macsim ARGUMENTS` for set-up commands.
  RunResult macsim(std::vector<std::string> arguments,
                   std::map<std::string, std::string> extraEnvironment = {}) const {
    auto options = macsimOptions(std::move(arguments));
    options.environment = std::move(extraEnvironment);
    return runProgram(options);
  }

  // A stand-in tool by its platform path (for example "/usr/bin/codesign") or its name
  // ("codesign"), run as the product runs it: absolute path, argument vector, no shell, and no
  // BOSUN_TOOL_ROOT (a tool finds its root from its own path).
  RunResult tool(const std::string& tool, std::vector<std::string> arguments,
                 std::map<std::string, std::string> extraEnvironment = {},
                 std::optional<std::string> input = std::nullopt) const {
    RunOptions options;
    options.executable = root() / std::filesystem::path(platformPath(tool)).relative_path();
    options.arguments = std::move(arguments);
    options.baseEnvironment = scrubbedEnvironment(home());
    options.environment = std::move(extraEnvironment);
    options.workingDirectory = work();
    options.standardInput = std::move(input);
    return runProgram(options);
  }

  // The same, throwing unless the tool exits 0; returns its standard output.
  std::string toolOK(const std::string& platformPath, std::vector<std::string> arguments) const {
    const auto what = platformPath + (arguments.empty() ? "" : " " + arguments.front());
    return checked(tool(platformPath, std::move(arguments)), what).standardOutput;
  }

  // Returns the identity's hash.
  std::string addIdentity(const std::string& name) const {
    return checked(macsim({"identity", "add", name, "--root", root().string()}),
                   "macsim identity add")
        .standardOutput.substr(0, 40);
  }
  void addProfile(const std::string& name = profile) const {
    checked(macsim({"profile", "add", name, "--root", root().string()}), "macsim profile add");
  }
  // The Developer ID identities and the notary profile of a typical release set-up.
  void addReleaseSetUp() const {
    addIdentity(application);
    addIdentity(installer);
    addProfile();
  }

  // work()/Release holding Sample.app (see makeApp): a release folder as `bosun start` takes it.
  std::filesystem::path makeReleaseFolder() const {
    const auto release = work() / "Release";
    std::filesystem::create_directories(release);
    std::filesystem::rename(makeApp("Sample"), release / "Sample.app");
    return release;
  }

  // work()/NAME.app with a Mach-O executable and an XML Info.plist.
  std::filesystem::path makeApp(const std::string& name, const AppFixture& fixture = {}) const {
    const auto app = work() / (name + ".app");
    std::filesystem::create_directories(app / "Contents" / "MacOS");
    std::filesystem::create_directories(app / "Contents" / "Resources");
    machO(app / "Contents" / "MacOS" / name, fixture.architectures);
    std::ofstream(app / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
        << "  <key>CFBundleExecutable</key><string>" << name << "</string>\n"
        << "  <key>CFBundleIdentifier</key><string>" << fixture.identifier << "</string>\n"
        << "  <key>CFBundleName</key><string>" << name << "</string>\n"
        << "  <key>CFBundlePackageType</key><string>APPL</string>\n"
        << "  <key>CFBundleShortVersionString</key><string>" << fixture.version << "</string>\n"
        << "  <key>CFBundleVersion</key><string>" << fixture.version << "</string>\n"
        << "  <key>LSMinimumSystemVersion</key><string>11.0</string>\n"
        << "</dict>\n</plist>\n";
    std::ofstream(app / "Contents" / "Resources" / "readme.txt") << "Sample resource\n";
    if (fixture.nested) addNestedCode(app / "Contents");
    return app;
  }

  // A Mach-O file (`type` "execute", "dylib" or "bundle") with those architectures (none: the
  // stand-in's default).
  void machO(const std::filesystem::path& file, const std::vector<std::string>& architectures,
             const std::string& type = "execute") const {
    std::vector<std::string> arguments{"machO", "--type", type};
    for (const auto& architecture : architectures)
      arguments.insert(arguments.end(), {"--arch", architecture});
    arguments.push_back(file.string());
    checked(macsim(arguments), "macsim machO");
  }

  // Signs an app as a release does (hardened runtime, secure timestamp), with the entitlements
  // of that property-list file when one is given, and nested code too when `deep`.
  void signApp(const std::filesystem::path& app, const std::string& identity = application,
               const std::filesystem::path& entitlements = {}, bool deep = false) const {
    std::vector<std::string> arguments{"--force", "--options", "runtime", "--timestamp"};
    if (!entitlements.empty())
      arguments.insert(arguments.end(), {"--entitlements", entitlements.string()});
    arguments.insert(arguments.end(), {"--sign", identity});
    if (deep) arguments.push_back("--deep");
    arguments.push_back(app.string());
    toolOK("/usr/bin/codesign", arguments);
  }

  // Signs a file such as a disk image (no runtime options, no timestamp).
  void signFile(const std::filesystem::path& file, const std::string& identity) const {
    toolOK("/usr/bin/codesign", {"--force", "--sign", identity, file.string()});
  }

  // Submits the file (an app goes as a ZIP of it) and waits; throws unless Accepted.
  void notarize(const std::filesystem::path& file) const {
    auto submitted = file;
    if (file.extension() == ".app") {
      submitted = work() / (file.stem().string() + "-submission.zip");
      toolOK("/usr/bin/ditto", {"-c", "-k", "--keepParent", file.string(), submitted.string()});
    }
    const auto output = toolOK("/usr/bin/xcrun", {"notarytool", "submit", submitted.string(),
                                                  "--keychain-profile", profile, "--wait"});
    if (output.find("status: Accepted") == std::string::npos)
      throw std::runtime_error("notarization of " + file.string() + " was not accepted:\n" +
                               output);
  }

  void staple(const std::filesystem::path& file) const {
    toolOK("/usr/bin/xcrun", {"stapler", "staple", file.string()});
  }

  // A signed, notarized and stapled app.
  std::filesystem::path makeReleasedApp(const std::string& name) const {
    const auto app = makeApp(name);
    signApp(app);
    notarize(app);
    staple(app);
    return app;
  }

  StandInAttachment attach(const std::filesystem::path& image) const {
    const auto plist = toolOK("/usr/bin/hdiutil",
                              {"attach", "-noverify", "-noautoopen", "-plist", image.string()});
    StandInAttachment attachment;
    std::smatch match;
    static const std::regex mountPoint(R"(<key>mount-point</key>\s*<string>([^<]*)</string>)");
    static const std::regex device(R"(<key>dev-entry</key>\s*<string>(/dev/disk[0-9]+)</string>)");
    if (std::regex_search(plist, match, mountPoint)) attachment.mountPoint = match[1].str();
    if (std::regex_search(plist, match, device)) attachment.device = match[1].str();
    if (attachment.mountPoint.empty() || attachment.device.empty())
      throw std::runtime_error("hdiutil attach reported no volume:\n" + plist);
    return attachment;
  }

  // Detaches (forced, without the knobs of the run) what a run named in "! Could not detach
  // TARGET.", and returns TARGET; empty when the run printed no such warning.
  std::string detachNamedIn(const std::string& standardError) const {
    static const std::regex warning("! Could not detach (.+)\\.\n");
    std::smatch match;
    if (!std::regex_search(standardError, match, warning)) return "";
    toolOK("/usr/bin/hdiutil", {"detach", match[1].str(), "-force"});
    return match[1].str();
  }

  // work()/NAME.dmg: a compressed image holding the app, signed with `identity` unless it is
  // empty.
  std::filesystem::path makeDMG(const std::string& name, const std::filesystem::path& app,
                                const std::string& identity = application) const {
    const auto writable = work() / (name + "-rw.dmg");
    const auto image = work() / (name + ".dmg");
    toolOK("/usr/bin/hdiutil",
           {"create", "-size", "20m", "-fs", "HFS+", "-volname", name, "-ov", writable.string()});
    const auto attachment = attach(writable);
    toolOK("/usr/bin/ditto", {app.string(), (attachment.mountPoint / app.filename()).string()});
    toolOK("/usr/bin/hdiutil", {"detach", attachment.device, "-force"});
    toolOK("/usr/bin/hdiutil", {"convert", writable.string(), "-format", "UDZO", "-imagekey",
                                "zlib-level=9", "-ov", "-o", image.string()});
    std::filesystem::remove(writable);
    if (!identity.empty()) signFile(image, identity);
    return image;
  }

  // work()/NAME.pkg installing the app into /Applications, signed with `identity` unless it is
  // empty.
  std::filesystem::path makePKG(const std::string& name, const std::filesystem::path& app,
                                const std::string& identity = installer) const {
    const auto staging = work() / (name + "-pkg");
    const auto payload = staging / "root";
    const auto resources = staging / "resources";
    std::filesystem::create_directories(payload);
    std::filesystem::create_directories(resources);
    toolOK("/usr/bin/ditto", {app.string(), (payload / app.filename()).string()});
    const auto componentPlist = staging / "component.plist";
    toolOK("/usr/bin/pkgbuild", {"--analyze", "--root", payload.string(), componentPlist.string()});
    const auto component = staging / "component.pkg";
    toolOK("/usr/bin/pkgbuild",
           {"--root", payload.string(), "--component-plist", componentPlist.string(),
            "--identifier", "com.example.sample.pkg", "--version", "1.0", "--install-location",
            "/Applications", component.string()});
    const auto distribution = staging / "Distribution.xml";
    std::ofstream(distribution)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<installer-gui-script minSpecVersion=\"2\">\n"
        << "  <title>" << name << "</title>\n"
        << "  <choices-outline><line choice=\"default\"/></choices-outline>\n"
           "  <choice id=\"default\" title=\""
        << name
        << "\"><pkg-ref id=\"com.example.sample.pkg\"/></choice>\n"
           "  <pkg-ref id=\"com.example.sample.pkg\" version=\"1.0\">component.pkg</pkg-ref>\n"
           "</installer-gui-script>\n";
    const auto package = work() / (name + ".pkg");
    std::vector<std::string> arguments{"--distribution",   distribution.string(), "--resources",
                                       resources.string(), "--package-path",      staging.string()};
    if (!identity.empty()) {
      arguments.insert(arguments.end(), {"--sign", identity, "--timestamp"});
    }
    arguments.push_back(package.string());
    toolOK("/usr/bin/productbuild", arguments);
    std::filesystem::remove_all(staging);
    return package;
  }

private:
  void addNestedCode(const std::filesystem::path& contents) const {
    const auto framework = contents / "Frameworks" / "Kit.framework";
    machO(framework / "Versions" / "A" / "Kit", {"arm64"}, "dylib");
    writeFile(framework / "Versions" / "A" / "Resources" / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key>"
              "<string>com.example.Kit</string></dict></plist>\n");
    std::filesystem::create_directory_symlink("A", framework / "Versions" / "Current");
    std::filesystem::create_symlink("Versions/Current/Kit", framework / "Kit");
    machO(contents / "Frameworks" / "libextra.dylib", {"arm64"}, "dylib");
    const auto helper = contents / "Library" / "LoginItems" / "Helper.app" / "Contents";
    writeFile(helper / "Info.plist",
              "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
              "<string>Helper</string></dict></plist>\n");
    machO(helper / "MacOS" / "Helper", {"arm64"});
    machO(contents / "Helpers" / "tool", {"arm64"});
  }

  static std::string platformPath(const std::string& tool) {
    if (tool.find('/') != std::string::npos) return tool;
    static const std::map<std::string, std::string> paths = {
        {"diskutil", "/usr/sbin/diskutil"},
        {"spctl", "/usr/sbin/spctl"},
        {"pkgutil", "/usr/sbin/pkgutil"},
        {"sysctl", "/usr/sbin/sysctl"},
        {"notarytool", "/Library/Developer/CommandLineTools/usr/bin/notarytool"},
        {"stapler", "/Library/Developer/CommandLineTools/usr/bin/stapler"}};
    const auto found = paths.find(tool);
    return found != paths.end() ? found->second : "/usr/bin/" + tool;
  }

  RunOptions macsimOptions(std::vector<std::string> arguments) const {
    return sandbox_.options(std::move(arguments), MACSIM_BINARY);
  }

  static const RunResult& checked(const RunResult& result, const std::string& what) {
    if (!result.exitedWith(0))
      throw std::runtime_error(what + " failed (status " + std::to_string(result.status) + "):\n" +
                               result.standardError + result.standardOutput);
    return result;
  }

  BosunSandbox sandbox_;
};

// The stand-in root in force for this test program's own process, for tests that run the library
// in-process: BOSUN_TOOL_ROOT names it and TMPDIR is a private folder beside it (so a test can
// check that nothing is left there). `set` changes further variables (MACSIM_ knobs); all are put
// back when it goes.
class StandInRootInForce : public StandInRoot {
public:
  StandInRootInForce() {
    std::filesystem::create_directories(temporary());
    set("TMPDIR", temporary().string());
    set("BOSUN_TOOL_ROOT", root().string());
    set(notaryPollVariable, notaryPoll);
  }

  std::filesystem::path temporary() const { return home() / "process-tmp"; }
  void set(const std::string& name, const std::string& value) { environment_.set(name, value); }

private:
  ScopedEnvironment environment_;
};

} // namespace bosun::testing
