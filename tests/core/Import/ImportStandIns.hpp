#pragma once

// A stand-in root for the import tests, put in force for this process (working copies land in
// its private TMPDIR), and app bundles built from real stand-in Mach-O files: frameworks, helper
// apps, libraries, plug-ins.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/StandInRoot.hpp"

namespace halyard::testing {

class ImportStandIns : public ::testing::Test {
protected:
  void SetUp() override { standIns.addIdentity(developerID); }

  static constexpr const char* developerID = bosun::testing::StandInRoot::application;

  std::filesystem::path temporary() const { return standIns.temporary(); }
  std::filesystem::path work() const { return standIns.work(); }

  // A Mach-O file: "execute" (mode 755), "dylib" (644) or "bundle" (755).
  void machO(const std::filesystem::path& file, const std::string& type = "execute") const {
    standIns.machO(file, {}, type);
  }

  static void writeInfo(const std::filesystem::path& file, const std::string& executable,
                        const std::string& identifier) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">"
                           "<dict><key>CFBundleExecutable</key><string>"
                        << executable << "</string><key>CFBundleIdentifier</key><string>"
                        << identifier << "</string></dict></plist>\n";
  }

  // PARENT/NAME.app (or .xpc, .appex, ...) with Contents/MacOS/NAME.
  std::filesystem::path bundle(const std::filesystem::path& parent, const std::string& name,
                               const std::string& extension = ".app") const {
    const auto path = parent / (name + extension);
    machO(path / "Contents/MacOS" / name);
    writeInfo(path / "Contents/Info.plist", name, "com.example." + std::to_string(counter_++));
    return path;
  }

  // PARENT/NAME.framework, versioned: Versions/A/NAME and its Resources, with the usual links.
  std::filesystem::path framework(const std::filesystem::path& parent,
                                  const std::string& name) const {
    const auto path = parent / (name + ".framework");
    machO(path / "Versions/A" / name, "dylib");
    writeInfo(path / "Versions/A/Resources/Info.plist", name,
              "com.example." + std::to_string(counter_++));
    std::filesystem::create_directory_symlink("A", path / "Versions/Current");
    std::filesystem::create_symlink("Versions/Current/" + name, path / name);
    std::filesystem::create_directory_symlink("Versions/Current/Resources", path / "Resources");
    return path;
  }

  std::filesystem::path app(const std::string& name) const { return standIns.makeApp(name); }

  // An Electron-like app: the framework with its own libraries and crash handler, three helper
  // apps beside it, a native module and a loose library.
  std::filesystem::path electronApp(const std::string& name) const {
    const auto path = app(name);
    const auto frameworks = path / "Contents/Frameworks";
    const auto electron = framework(frameworks, "Electron Framework");
    machO(electron / "Versions/A/Libraries/libffmpeg.dylib", "dylib");
    machO(electron / "Versions/A/Helpers/chrome_crashpad_handler");
    for (const char* helper : {" Helper", " Helper (GPU)", " Helper (Renderer)"})
      bundle(frameworks, name + helper);
    machO(frameworks / "native/keytar.node", "bundle");
    machO(frameworks / "libnode_shim.dylib", "dylib");
    return path;
  }

  // codesign with the stand-in, throwing unless it succeeds.
  void codesign(std::vector<std::string> arguments) const {
    standIns.toolOK("/usr/bin/codesign", std::move(arguments));
  }
  void signDeveloperID(const std::filesystem::path& path) const {
    codesign({"--force", "--deep", "--options", "runtime", "--timestamp", "--sign", developerID,
              path.string()});
  }
  void signAdHoc(const std::filesystem::path& path) const {
    codesign({"--force", "--deep", "--sign", "-", path.string()});
  }

  // Puts in force a tool root whose codesign is a shell script with `body` (in which $real is the
  // stand-in codesign); xattr and chmod are the stand-in's.
  void scriptCodesign(const std::string& body) const {
    const auto root = standIns.home() / "scripted";
    const auto real = standIns.root();
    for (const std::string tool : {"usr/bin/codesign", "usr/bin/xattr", "bin/chmod"}) {
      std::filesystem::create_directories((root / tool).parent_path());
      std::ofstream(root / tool) << "#!/bin/sh\nreal='" << (real / tool).string() << "'\n"
                                 << (tool == "usr/bin/codesign" ? body : "exec \"$real\" \"$@\"")
                                 << "\n";
      std::filesystem::permissions(root / tool, std::filesystem::perms::owner_all);
    }
    ::setenv("BOSUN_TOOL_ROOT", root.c_str(), 1);
  }

  bosun::testing::StandInRootInForce standIns;

private:
  mutable int counter_ = 0;
};

} // namespace halyard::testing
