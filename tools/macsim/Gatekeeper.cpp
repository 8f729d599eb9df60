#include "Gatekeeper.hpp"

#include "CodeLayout.hpp"
#include "CodeVerifier.hpp"
#include "Knobs.hpp"
#include "MachOFile.hpp"
#include "NotaryService.hpp"
#include "PackageSignature.hpp"
#include "StapledTicket.hpp"

namespace fs = std::filesystem;

namespace macsim {

namespace {

Gatekeeper::Assessment fromSignature(const StateStore& store, const fs::path& path,
                                     const std::string& authority, const std::string& cdhash,
                                     const std::string& developerIDKind) {
  Gatekeeper::Assessment assessment;
  assessment.origin = authority;
  if (authority.rfind(developerIDKind + ":", 0) != 0) return assessment;
  if (Gatekeeper::isNotarized(store, path, cdhash)) {
    assessment.accepted = true;
    assessment.source = "Notarized Developer ID";
  } else {
    assessment.source = "Unnotarized Developer ID";
  }
  return assessment;
}

} // namespace

bool Gatekeeper::isNotarized(const StateStore& store, const fs::path& path,
                             const std::string& cdhash) {
  if (StapledTicket::isValid(path)) return true;
  if (Knobs::offline()) return false;
  return NotaryService(store).ticket(cdhash).has_value();
}

Gatekeeper::Assessment Gatekeeper::assess(const StateStore& store, const fs::path& path, Type type,
                                          bool primarySignatureContext) {
  Assessment assessment;
  if (type == Type::install) {
    const auto state = PackageSignature::read(path);
    if (!state) {
      assessment.source = "no usable signature";
      return assessment;
    }
    if (!state->valid) {
      assessment.problem = "package is invalid (checksum did not verify)";
      return assessment;
    }
    return fromSignature(store, path, state->signature.authority.value_or(""),
                         state->signature.cdhash(), "Developer ID Installer");
  }
  if (type == Type::open && !primarySignatureContext) {
    assessment.source = "Insufficient Context";
    return assessment;
  }
  const auto verification = CodeVerifier::verify(path, {true, true});
  if (verification.status == Verification::Status::notSigned) {
    assessment.source = "no usable signature";
    return assessment;
  }
  if (!verification.valid()) {
    assessment.problem = verification.problem;
    return assessment;
  }
  const auto& signature = *verification.signature;
  if (signature.isAdHoc()) {
    assessment.source = "no usable signature";
    return assessment;
  }
  if (type == Type::execute) {
    const auto layout = CodeLayout::of(path);
    const bool app = layout.isApp();
    const auto header = layout.kind == CodeLayout::Kind::file ? MachOFile::read(path)
                                                              : std::optional<MachOFile::Header>();
    if (!app && !(header && header->fileType == MachOFile::execute)) {
      assessment.note = "(the code is valid but does not seem to be an app)";
      assessment.origin = signature.authority;
      return assessment;
    }
  }
  return fromSignature(store, path, *signature.authority, signature.cdhash(),
                       "Developer ID Application");
}

} // namespace macsim
