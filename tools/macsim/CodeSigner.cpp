#include "CodeSigner.hpp"

#include "Clock.hpp"
#include "CodeLayout.hpp"
#include "Digest.hpp"
#include "Files.hpp"
#include "Knobs.hpp"
#include "ResourceSeal.hpp"
#include "SignatureStore.hpp"
#include "ToolFailure.hpp"

namespace fs = std::filesystem;

namespace macsim {

namespace {

std::string fileIdentifier(const fs::path& path) {
  return path.stem().string();
}

void signItem(const fs::path& path, const SigningRequest& request,
              const std::function<void(const std::string&)>& note) {
  const std::string shown = path.string();
  const CodeLayout layout = CodeLayout::of(path);
  if (layout.kind == CodeLayout::Kind::missing)
    throw ToolFailure(shown + ": No such file or directory");
  if (layout.kind == CodeLayout::Kind::folder)
    throw ToolFailure(shown + ": bundle format unrecognized, invalid, or unsuitable");

  const auto existing = SignatureStore::read(layout);
  if (existing && !request.force) throw ToolFailure(shown + ": is already signed");

  if (request.deep)
    for (const auto& nested : layout.nestedCode())
      signItem(nested, request, note);

  CodeSignature signature;
  signature.signingTime = Clock::isoNow();
  signature.format = layout.formatDescription();
  if (request.identity) {
    signature.authority = request.identity->name;
    signature.teamIdentifier = request.identity->teamIdentifier;
    signature.identityHash = request.identity->hash;
    if (request.timestamp) {
      if (Knobs::offline()) throw ToolFailure(shown + ": The timestamp service is not available.");
      signature.timestamp = signature.signingTime;
    }
  }
  const bool keep = existing && existing->intact;
  signature.optionFlags = request.optionFlags;
  if (request.preserveFlags && keep) signature.optionFlags |= existing->signature.optionFlags;
  if (request.entitlements)
    signature.entitlements = request.entitlements;
  else if (request.preserveEntitlements && keep)
    signature.entitlements = existing->signature.entitlements;

  std::string resourcesPlist;
  if (layout.kind == CodeLayout::Kind::bundle) {
    if (!layout.unsealedRootItems().empty())
      throw ToolFailure(shown + ": unsealed contents present in the bundle root");
    if (!layout.escapingLinks().empty())
      throw ToolFailure(shown + ": invalid destination for symbolic link in bundle");
    std::vector<fs::path> unsignedCode;
    const auto seal = ResourceSeal::of(layout, unsignedCode);
    if (!unsignedCode.empty())
      throw ToolFailure(shown + ": code object is not signed at all\nIn subcomponent: " +
                        unsignedCode.front().string());
    resourcesPlist = seal.plist();
    signature.identifier = layout.bundleIdentifier().value_or(fileIdentifier(path));
    signature.codeDigest =
        layout.mainExecutable ? Digest::sha256OfFile(*layout.mainExecutable) : Digest::sha256("");
    signature.infoPlistDigest =
        fs::exists(layout.infoPlist) ? Digest::sha256OfFile(layout.infoPlist) : "";
    signature.resourcesDigest = Digest::sha256(resourcesPlist);
    signature.resourceCount = static_cast<int>(seal.entries.size());
    signature.infoEntries = layout.infoPlistEntries();
  } else {
    signature.identifier = fileIdentifier(path);
    // A signature already in the trailer is replaced, so the digest excludes it.
    if (existing) SignatureStore::remove(layout);
    signature.codeDigest = SignatureStore::fileCodeDigest(path);
  }
  if (request.identifier)
    signature.identifier = *request.identifier;
  else if (request.preserveIdentifier && keep)
    signature.identifier = existing->signature.identifier;

  if (existing) note(shown + ": replacing existing signature");
  SignatureStore::write(layout, signature, resourcesPlist);
}

} // namespace

void CodeSigner::sign(const fs::path& path, const SigningRequest& request,
                      const std::function<void(const std::string&)>& note) {
  signItem(path, request, note);
}

} // namespace macsim
