#include "NotaryInspector.hpp"

#include "ArchiveExtractor.hpp"
#include "CodeLayout.hpp"
#include "CodeVerifier.hpp"
#include "DiskImage.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "MachOFile.hpp"
#include "PackageSignature.hpp"
#include "SignatureStore.hpp"

#include <algorithm>
#include <cctype>
#include <set>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* notDeveloperID =
    "The binary is not signed with a valid Developer ID certificate.";
constexpr const char* noTimestamp = "The signature does not include a secure timestamp.";
constexpr const char* noRuntime = "The executable does not have the hardened runtime enabled.";
constexpr const char* debuggable =
    "The executable requests the com.apple.security.get-task-allow entitlement.";
constexpr const char* invalidSignature = "The signature of the binary is invalid.";

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class TreeInspector {
public:
  TreeInspector(fs::path top, std::string displayPrefix, NotaryInspector::Findings& findings)
      : top_(std::move(top)), prefix_(std::move(displayPrefix)), findings_(findings) {}

  void run() {
    std::vector<fs::path> bundles;
    std::vector<fs::path> files;
    for (const auto& relative : Files::walk(top_)) {
      const fs::path item = top_ / relative;
      const auto status = fs::symlink_status(item);
      if (fs::is_directory(status) && CodeLayout::hasBundleExtension(item)) {
        if (CodeLayout::of(item).kind == CodeLayout::Kind::bundle) bundles.push_back(item);
      } else if (fs::is_regular_file(status)) {
        files.push_back(item);
      }
    }
    std::set<fs::path> covered;
    std::set<fs::path> nestedFiles;
    for (const auto& bundle : bundles) {
      const auto layout = CodeLayout::of(bundle);
      if (layout.mainExecutable) covered.insert(*layout.mainExecutable);
      for (const auto& nested : layout.nestedCode())
        if (fs::is_regular_file(fs::symlink_status(nested))) nestedFiles.insert(nested);
      check(bundle, layout);
    }
    for (const auto& file : files) {
      if (covered.count(file) != 0) continue;
      if (nestedFiles.count(file) == 0 && !MachOFile::read(file)) continue;
      check(file, CodeLayout::of(file));
    }
  }

private:
  std::string display(const fs::path& item) const {
    return prefix_ + item.lexically_relative(top_).generic_string();
  }

  void check(const fs::path& item, const CodeLayout& layout) {
    const fs::path binary = layout.mainExecutable.value_or(item);
    const std::string shown = display(binary);
    std::optional<std::string> architecture;
    bool executable = false;
    if (auto header = MachOFile::read(binary)) {
      architecture = header->slices.front().architecture;
      executable = header->fileType == MachOFile::execute;
    }
    if (layout.kind == CodeLayout::Kind::bundle) {
      const std::string extension = lower(item.extension().string());
      executable = executable || extension == ".app" || extension == ".xpc" ||
                   extension == ".appex" || extension == ".systemextension";
    }
    const auto verification = CodeVerifier::verify(item, {});
    auto issue = [&](const char* message) {
      findings_.issues.push_back({shown, message, architecture});
    };
    if (verification.status == Verification::Status::notSigned) {
      issue(notDeveloperID);
      issue(noTimestamp);
      if (executable) issue(noRuntime);
      return;
    }
    if (!verification.valid()) {
      issue(invalidSignature);
      return;
    }
    const auto& signature = *verification.signature;
    const size_t before = findings_.issues.size();
    if (signature.authority.value_or("").rfind("Developer ID Application:", 0) != 0)
      issue(notDeveloperID);
    if (!signature.timestamp) issue(noTimestamp);
    if (executable && !signature.runtime()) issue(noRuntime);
    if (signature.allowsDebugging()) issue(debuggable);
    if (findings_.issues.size() == before)
      findings_.tickets.push_back({display(item), signature.cdhash(), architecture});
  }

  fs::path top_;
  std::string prefix_;
  NotaryInspector::Findings& findings_;
};

void inspectDiskImage(const fs::path& file, const fs::path& scratch,
                      NotaryInspector::Findings& findings) {
  const std::string name = file.filename().string();
  const auto verification = CodeVerifier::verify(file, {});
  if (verification.status == Verification::Status::notSigned) {
    findings.issues.push_back({name, notDeveloperID, std::nullopt});
  } else if (!verification.valid()) {
    findings.issues.push_back({name, invalidSignature, std::nullopt});
  } else if (verification.signature->authority.value_or("").rfind("Developer ID Application:", 0) !=
             0) {
    findings.issues.push_back({name, notDeveloperID, std::nullopt});
  } else {
    findings.tickets.push_back({name, verification.signature->cdhash(), std::nullopt});
  }
  try {
    DiskImage::unpack(file, scratch);
  } catch (const std::exception&) {
    findings.issues.push_back({name, "The disk image could not be read.", std::nullopt});
    return;
  }
  TreeInspector(scratch, name + "/", findings).run();
}

void inspectPackage(const fs::path& file, const fs::path& scratch,
                    NotaryInspector::Findings& findings) {
  const std::string name = file.filename().string();
  const auto state = PackageSignature::read(file);
  if (!state || !state->valid ||
      state->signature.authority.value_or("").rfind("Developer ID Installer:", 0) != 0)
    findings.issues.push_back(
        {name, "The package is not signed with a valid Developer ID Installer certificate.",
         std::nullopt});
  else
    findings.tickets.push_back({name, state->signature.cdhash(), std::nullopt});
  try {
    FlatPackage::expand(file, scratch, true);
  } catch (const std::exception&) {
    findings.issues.push_back({name, "The package could not be read.", std::nullopt});
    return;
  }
  TreeInspector(scratch, name + "/", findings).run();
}

} // namespace

NotaryInspector::Findings NotaryInspector::inspect(const fs::path& file, const fs::path& scratch) {
  Findings findings;
  const std::string name = file.filename().string();
  if (DiskImage::isImage(file)) {
    inspectDiskImage(file, scratch, findings);
  } else if (FlatPackage::isPackage(file)) {
    inspectPackage(file, scratch, findings);
  } else {
    try {
      ArchiveExtractor::Options options;
      options.skip = [](const std::string& entry) {
        return entry == "__MACOSX" || entry.rfind("__MACOSX/", 0) == 0;
      };
      ArchiveExtractor::extract(FileTrailer::content(file), scratch, options);
    } catch (const std::exception&) {
      findings.issues.push_back({name, "The archive could not be read.", std::nullopt});
      return findings;
    }
    TreeInspector(scratch, name + "/", findings).run();
  }
  return findings;
}

} // namespace macsim
