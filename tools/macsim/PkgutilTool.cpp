#include "Clock.hpp"
#include "Digest.hpp"
#include "FlatPackage.hpp"
#include "Gatekeeper.hpp"
#include "Keychain.hpp"
#include "Output.hpp"
#include "PackageSignature.hpp"
#include "ToolFailure.hpp"
#include "Tools.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* usageText =
    "Usage: pkgutil [options] [commands]\n"
    "  --check-signature PATH     Validate the signature of a package\n"
    "  --expand PKG DIR           Write flat package entries to DIR\n"
    "  --expand-full PKG DIR      Fully expand package contents to DIR";

std::string fingerprint(const std::string& seed) {
  std::string digest = Digest::sha256(seed);
  std::transform(digest.begin(), digest.end(), digest.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  std::string lines;
  for (int line = 0; line < 2; ++line) {
    lines += "           ";
    for (int i = 0; i < 16; ++i) {
      lines += digest.substr(static_cast<size_t>((line * 16 + i) * 2), 2);
      if (i < 15) lines += ' ';
    }
    lines += "\n";
  }
  return lines;
}

std::string certificate(int index, const std::string& name, const std::string& expires, bool last) {
  std::string text = "    " + std::to_string(index) + ". " + name + "\n       Expires: " + expires +
                     "\n       SHA256 Fingerprint:\n" + fingerprint(name);
  if (!last)
    text += "       ----------------------------------------------------------------------------"
            "\n";
  return text;
}

int checkSignature(const ToolContext& context, const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  std::string text = "Package \"" + name + "\":\n";
  if (!fs::is_regular_file(path))
    throw ToolFailure("Package \"" + name + "\":\n   Status: package is invalid (no such file)");
  if (!FlatPackage::isPackage(path)) {
    Output::out(text + "   Status: package is invalid (checksum did not verify)\n");
    return 1;
  }
  const auto state = PackageSignature::read(path);
  if (!state) {
    Output::out(text + "   Status: no signature\n");
    return 1;
  }
  if (!state->valid) {
    Output::out(text + "   Status: package is invalid (checksum did not verify)\n");
    return 1;
  }
  const auto& signature = state->signature;
  const std::string authority = signature.authority.value_or("");
  const bool developerID = authority.rfind("Developer ID Installer:", 0) == 0;
  text += std::string("   Status: ") +
          (developerID ? "signed by a developer certificate issued by Apple for distribution"
                       : "signed by a developer certificate issued by Apple (Development)") +
          "\n";
  StateStore store(context.stateFolder());
  if (developerID && Gatekeeper::isNotarized(store, path, signature.cdhash()))
    text += "   Notarization: trusted by the Apple notary service\n";
  if (signature.timestamp)
    text +=
        "   Signed with a trusted timestamp on: " + Clock::pkgutilDate(*signature.timestamp) + "\n";
  std::string expires;
  for (const auto& identity : Keychain(store).identities())
    if (identity.hash == signature.identityHash) expires = Clock::pkgutilDate(identity.expires);
  if (expires.empty()) expires = Clock::pkgutilDate(Clock::isoOffset(5L * 365 * 86400));
  text += "   Certificate Chain:\n";
  text += certificate(1, authority, expires, false);
  text += certificate(2,
                      developerID ? "Developer ID Certification Authority"
                                  : "Apple Worldwide Developer Relations Certification Authority",
                      "2031-09-17 00:00:00 +0000", false);
  text += certificate(3, "Apple Root CA", "2035-02-09 21:40:36 +0000", true);
  Output::out(text + "\n");
  return 0;
}

int expand(const std::string& package, const std::string& folder, bool full) {
  if (!fs::is_regular_file(package))
    throw ToolFailure("Error: Could not open package \"" + package + "\": No such file");
  if (fs::exists(folder))
    throw ToolFailure("Error: Could not expand \"" + package + "\": \"" + folder +
                      "\" already exists.");
  try {
    FlatPackage::expand(package, folder, full);
  } catch (const std::exception& error) {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    throw ToolFailure("Error: Could not expand \"" + package + "\": " + error.what());
  }
  return 0;
}

} // namespace

int runPkgutil(const ToolContext& context) {
  const auto& arguments = context.arguments;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--check-signature" && i + 1 < arguments.size())
      return checkSignature(context, arguments[i + 1]);
    if ((argument == "--expand" || argument == "--expand-full") && i + 2 < arguments.size())
      return expand(arguments[i + 1], arguments[i + 2], argument == "--expand-full");
    if (argument == "--verbose" || argument == "-v" || argument == "--force" || argument == "-f")
      continue;
    throw ToolFailure(usageText, 1);
  }
  throw ToolFailure(usageText, 1);
}

} // namespace macsim
