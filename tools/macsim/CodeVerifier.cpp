#include "CodeVerifier.hpp"

#include "CodeLayout.hpp"
#include "Digest.hpp"
#include "Files.hpp"
#include "ResourceSeal.hpp"
#include "SignatureStore.hpp"

namespace fs = std::filesystem;

namespace macsim {

namespace {

constexpr const char* modifiedCode = "invalid signature (code or signature have been modified)";

Verification failure(Verification::Status status, std::string problem) {
  Verification result;
  result.status = status;
  result.problem = std::move(problem);
  return result;
}

} // namespace

Verification CodeVerifier::verify(const fs::path& path, const Options& options) {
  const CodeLayout layout = CodeLayout::of(path);
  if (layout.kind == CodeLayout::Kind::missing)
    return failure(Verification::Status::missing, "No such file or directory");
  if (layout.kind == CodeLayout::Kind::folder)
    return failure(Verification::Status::unrecognized,
                   "bundle format unrecognized, invalid, or unsuitable");
  const auto stored = SignatureStore::read(layout);
  if (!stored) return failure(Verification::Status::notSigned, "code object is not signed at all");
  if (!stored->intact) return failure(Verification::Status::invalid, modifiedCode);

  Verification result;
  result.signature = stored->signature;
  const CodeSignature& signature = stored->signature;
  if (layout.kind == CodeLayout::Kind::file) {
    if (SignatureStore::fileCodeDigest(path) != signature.codeDigest) {
      result.status = Verification::Status::invalid;
      result.problem = modifiedCode;
    }
    return result;
  }

  const std::string infoDigest =
      fs::exists(layout.infoPlist) ? Digest::sha256OfFile(layout.infoPlist) : "";
  if (infoDigest != signature.infoPlistDigest)
    return failure(Verification::Status::invalid,
                   "invalid Info.plist (plist or signature have been modified)");
  const std::string codeDigest =
      layout.mainExecutable ? Digest::sha256OfFile(*layout.mainExecutable) : Digest::sha256("");
  if (codeDigest != signature.codeDigest)
    return failure(Verification::Status::invalid, modifiedCode);

  const fs::path sealFile = layout.signatureFolder() / "CodeResources";
  if (!fs::is_regular_file(sealFile))
    return failure(Verification::Status::invalid,
                   "code has no resources but signature indicates they must be present");
  const std::string sealBytes = Files::read(sealFile);
  const auto recorded = ResourceSeal::parse(sealBytes);
  if (!recorded || Digest::sha256(sealBytes) != signature.resourcesDigest)
    return failure(Verification::Status::invalid, modifiedCode);

  if (options.strict) {
    if (!layout.unsealedRootItems().empty())
      return failure(Verification::Status::invalid, "unsealed contents present in the bundle root");
    if (!layout.escapingLinks().empty())
      return failure(Verification::Status::invalid,
                     "invalid destination for symbolic link in bundle");
  }

  std::vector<fs::path> unsignedCode;
  const auto current = ResourceSeal::of(layout, unsignedCode);
  const auto difference = recorded->compare(current);
  if (!difference.empty()) {
    result.status = Verification::Status::invalid;
    result.problem = "a sealed resource is missing or invalid";
    for (const auto& item : difference.modified)
      result.details.push_back("file modified: " + (path / item).string());
    for (const auto& item : difference.added)
      result.details.push_back("file added: " + (path / item).string());
    for (const auto& item : difference.missing)
      result.details.push_back("file missing: " + (path / item).string());
    return result;
  }

  if (options.deep) {
    for (const auto& nested : layout.nestedCode()) {
      auto inner = verify(nested, options);
      for (auto& item : inner.nestedChecked)
        result.nestedChecked.push_back(item);
      result.nestedChecked.push_back(nested);
      if (!inner.valid()) {
        result.status = Verification::Status::invalid;
        result.problem = inner.problem;
        result.details = inner.details;
        result.details.push_back("In subcomponent: " + nested.string());
        return result;
      }
    }
  }
  return result;
}

} // namespace macsim
