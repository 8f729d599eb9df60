#include "InstallerSigner.hpp"

#include "Clock.hpp"
#include "FileTrailer.hpp"
#include "Keychain.hpp"
#include "Knobs.hpp"
#include "PackageSignature.hpp"
#include "ToolFailure.hpp"

#include <cstdlib>

namespace macsim {

std::string InstallerSigner::sign(const ToolContext& context, const std::filesystem::path& package,
                                  const std::string& identity, bool timestamp,
                                  const std::string& tool) {
  StateStore store(context.stateFolder());
  const auto found = Keychain(store).find(identity, Keychain::Purpose::installerSigning, tool);
  if (timestamp && Knobs::offline())
    throw ToolFailure(tool + ": error: The timestamp service is not available.");
  // A new signature replaces the old one and any stapled ticket.
  auto metadata = FileTrailer::read(package).metadata;
  metadata.erase("packageSignature");
  metadata.erase("ticket");
  FileTrailer::write(package, metadata);

  CodeSignature signature;
  signature.identifier = package.stem().string();
  signature.format = "installer package";
  signature.authority = found.name;
  signature.teamIdentifier = found.teamIdentifier;
  signature.identityHash = found.hash;
  signature.signingTime = Clock::isoNow();
  if (timestamp) signature.timestamp = signature.signingTime;
  signature.codeDigest = PackageSignature::contentDigest(package);
  PackageSignature::write(package, signature);

  const char* home = std::getenv("HOME");
  std::string text;
  if (timestamp) text += tool + ": using timestamp authority for signature\n";
  text += tool + ": signing product with identity \"" + found.name + "\" from keychain " +
          (home != nullptr ? std::string(home) : std::string("/var/root")) +
          "/Library/Keychains/login.keychain-db\n";
  const bool developerID = found.isDeveloperIDInstaller();
  text += tool + ": adding certificate \"" +
          (developerID ? "Developer ID Certification Authority"
                       : "Apple Worldwide Developer Relations Certification Authority") +
          "\"\n";
  text += tool + ": adding certificate \"Apple Root CA\"\n";
  return text;
}

} // namespace macsim
