#pragma once

// A fresh stand-in root for the inspection's end-to-end runs, with fixtures built by the stand-in
// tools themselves: Developer ID identities, a notary profile, apps with real Mach-O executables,
// DMGs and PKGs, signed, notarized and stapled as a release would be. `available()` is false when
// the stand-ins of this build cannot make a fixture (a tool not there yet); tests then skip.

#include <fstream>
#include <stdexcept>

#include "BosunRun.hpp"
#include "core/Support/SHA256.hpp"

namespace bosun::testing {

class InspectionStandIns {
public:
  static constexpr const char* application = "Developer ID Application: Example Corp (A1B2C3D4E5)";
  static constexpr const char* installer = "Developer ID Installer: Example Corp (A1B2C3D4E5)";
  static constexpr const char* profile = "inspection-tests";

  InspectionStandIns() {
    std::filesystem::create_directories(work());
    ready_ = macsim({"init", root().string()}).exitedWith(0) &&
             macsim({"identity", "add", application}).exitedWith(0) &&
             macsim({"identity", "add", installer}).exitedWith(0) &&
             macsim({"profile", "add", profile}).exitedWith(0);
  }

  bool available() const { return ready_; }
  const std::filesystem::path& home() const { return sandbox_.home(); }
  std::filesystem::path root() const { return home() / "root"; }
  std::filesystem::path work() const { return home() / "work"; }

  std::map<std::string, std::string> environment() const {
    auto environment = scrubbedEnvironment(home());
    environment["BOSUN_TOOL_ROOT"] = root().string();
    return environment;
  }

  RunResult bosun(std::vector<std::string> arguments) const {
    auto options = sandbox_.options(std::move(arguments));
    options.baseEnvironment = environment();
    options.workingDirectory = work();
    return runProgram(options);
  }

  RunResult macsim(std::vector<std::string> arguments) const {
    RunOptions options;
    options.executable = MACSIM_BINARY;
    options.arguments = std::move(arguments);
    options.baseEnvironment = environment();
    return runProgram(options);
  }

  RunResult tool(const std::string& platformPath, std::vector<std::string> arguments) const {
    RunOptions options;
    options.executable = root() / std::filesystem::path(platformPath).relative_path();
    options.arguments = std::move(arguments);
    options.baseEnvironment = environment();
    options.workingDirectory = work();
    return runProgram(options);
  }

  // The tool's standard output; throws unless it exits 0.
  std::string toolOK(const std::string& platformPath, std::vector<std::string> arguments) const {
    const auto what = platformPath + " " + (arguments.empty() ? "" : arguments.front());
    const auto result = tool(platformPath, std::move(arguments));
    if (!result.exitedWith(0))
      throw std::runtime_error(what + " failed: " + result.standardError + result.standardOutput);
    return result.standardOutput;
  }

  // work()/NAME.app with a universal executable, optionally signed (hardened runtime, secure
  // timestamp, the given entitlements as a property-list body) and notarized and stapled.
  std::filesystem::path makeApp(const std::string& name, bool sign, bool release,
                                const std::string& entitlements = "") const {
    const auto app = work() / (name + ".app");
    std::filesystem::create_directories(app / "Contents/MacOS");
    if (!macsim({"machO", (app / "Contents/MacOS" / name).string()}).exitedWith(0))
      throw std::runtime_error("macsim machO failed");
    std::ofstream(app / "Contents/Info.plist")
        << plist("<dict><key>CFBundleExecutable</key><string>" + name +
                 "</string><key>CFBundleIdentifier</key><string>com.example." + name +
                 "</string><key>CFBundleShortVersionString</key><string>1.0</string>"
                 "<key>LSMinimumSystemVersion</key><string>11.0</string></dict>");
    if (!sign) return app;
    std::vector<std::string> arguments{"--force", "--options", "runtime", "--timestamp"};
    if (!entitlements.empty()) {
      const auto file = work() / (name + ".entitlements");
      std::ofstream(file) << plist(entitlements);
      arguments.insert(arguments.end(), {"--entitlements", file.string()});
    }
    arguments.insert(arguments.end(), {"--sign", application, app.string()});
    toolOK("/usr/bin/codesign", arguments);
    if (release) {
      const auto zip = work() / (name + ".zip");
      toolOK("/usr/bin/ditto", {"-c", "-k", "--keepParent", app.string(), zip.string()});
      notarizeAndStaple(zip, app);
    }
    return app;
  }

  // work()/NAME.dmg holding `contents` (a folder), optionally signed and notarized and stapled.
  std::filesystem::path makeDMG(const std::string& name, const std::filesystem::path& contents,
                                bool sign, bool release) const {
    const auto image = work() / (name + ".dmg");
    toolOK("/usr/bin/hdiutil", {"create", "-srcfolder", contents.string(), "-volname", name,
                                "-format", "UDZO", "-ov", image.string()});
    if (sign) toolOK("/usr/bin/codesign", {"--force", "--sign", application, image.string()});
    if (release) notarizeAndStaple(image, image);
    return image;
  }

  // work()/NAME.pkg installing `payload` with the scripts in `scripts` (when not empty), signed,
  // and notarized and stapled for a release. Throws when the stand-ins cannot build packages.
  std::filesystem::path makePKG(const std::string& name, const std::filesystem::path& payload,
                                const std::filesystem::path& scripts = {},
                                bool release = true) const {
    const auto package = work() / (name + ".pkg");
    std::vector<std::string> arguments{
        "--root", payload.string(),     "--identifier", "com.example." + name, "--version",
        "1.0",    "--install-location", "/Applications"};
    if (!scripts.empty()) arguments.insert(arguments.end(), {"--scripts", scripts.string()});
    arguments.insert(arguments.end(), {"--sign", installer, "--timestamp", package.string()});
    toolOK("/usr/bin/pkgbuild", arguments);
    if (release) notarizeAndStaple(package, package);
    return package;
  }

  // True when the stand-ins can build packages.
  bool canBuildPackages() const {
    return tool("/usr/bin/pkgbuild",
                {"--analyze", "--root", work().string(), (work() / "probe.plist").string()})
        .exitedWith(0);
  }

  // Attached images as `hdiutil info -plist` lists them.
  std::string attachedImages() const { return toolOK("/usr/bin/hdiutil", {"info", "-plist"}); }

  static std::string digest(const std::filesystem::path& file) {
    return halyard::SHA256::hexDigestOfFile(file);
  }

  static std::string plist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body +
           "\n</plist>\n";
  }

private:
  void notarizeAndStaple(const std::filesystem::path& submitted,
                         const std::filesystem::path& stapled) const {
    const auto output = toolOK("/usr/bin/xcrun", {"notarytool", "submit", submitted.string(),
                                                  "--keychain-profile", profile, "--wait"});
    if (output.find("status: Accepted") == std::string::npos)
      throw std::runtime_error("not accepted: " + output);
    toolOK("/usr/bin/xcrun", {"stapler", "staple", stapled.string()});
  }

  BosunSandbox sandbox_;
  bool ready_ = false;
};

} // namespace bosun::testing
