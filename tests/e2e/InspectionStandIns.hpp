#pragma once

// The stand-in root of the inspection's end-to-end runs: a StandInRoot with the release set-up in
// place, plus the fixtures only the inspection needs: apps with given entitlements, DMGs made
// from an arbitrary folder, component packages with installer scripts, the file digests and the
// attached images that an inspection must leave unchanged. `available()` is false when the
// stand-ins of this build cannot make the release set-up; tests then skip.

#include <fstream>
#include <stdexcept>

#include "StandInRoot.hpp"
#include "core/Support/SHA256.hpp"

namespace bosun::testing {

// The makeApp, makeDMG and makePKG below hide the StandInRoot ones of the same names.
class InspectionStandIns : public StandInRoot {
public:
  InspectionStandIns() {
    try {
      addReleaseSetUp();
      ready_ = true;
    } catch (const std::runtime_error&) {
      ready_ = false;
    }
  }

  bool available() const { return ready_; }

  // work()/NAME.app (identifier com.example.NAME), optionally signed (with the given
  // entitlements as a property-list body) and, for a release, notarized and stapled.
  std::filesystem::path makeApp(const std::string& name, bool sign, bool release,
                                const std::string& entitlements = "") const {
    AppFixture fixture;
    fixture.identifier = "com.example." + name;
    const auto app = StandInRoot::makeApp(name, fixture);
    if (!sign) return app;
    std::filesystem::path entitlementsFile;
    if (!entitlements.empty()) {
      entitlementsFile = work() / (name + ".entitlements");
      std::ofstream(entitlementsFile) << plist(entitlements);
    }
    signApp(app, application, entitlementsFile);
    if (release) notarizeAndStaple(app);
    return app;
  }

  // work()/NAME.dmg holding `contents` (a folder), optionally signed and notarized and stapled.
  std::filesystem::path makeDMG(const std::string& name, const std::filesystem::path& contents,
                                bool sign, bool release) const {
    const auto image = work() / (name + ".dmg");
    toolOK("/usr/bin/hdiutil", {"create", "-srcfolder", contents.string(), "-volname", name,
                                "-format", "UDZO", "-ov", image.string()});
    if (sign) signFile(image, application);
    if (release) notarizeAndStaple(image);
    return image;
  }

  // work()/NAME.pkg, a component package (identifier com.example.NAME) installing `payload` with
  // the scripts in `scripts` (when not empty), signed, and notarized and stapled for a release.
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
    if (release) notarizeAndStaple(package);
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
  void notarizeAndStaple(const std::filesystem::path& file) const {
    notarize(file);
    staple(file);
  }

  bool ready_ = false;
};

} // namespace bosun::testing
