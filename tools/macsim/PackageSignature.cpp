#include "PackageSignature.hpp"

#include "Digest.hpp"
#include "FileTrailer.hpp"

namespace macsim {

std::string PackageSignature::contentDigest(const std::filesystem::path& package) {
  const auto trailer = FileTrailer::read(package);
  return Digest::sha256OfFile(package, trailer.contentLength);
}

std::optional<PackageSignature::State>
PackageSignature::read(const std::filesystem::path& package) {
  const auto trailer = FileTrailer::read(package);
  auto found = trailer.metadata.find("packageSignature");
  if (found == trailer.metadata.end() || !found->is_object()) return std::nullopt;
  State state;
  bool intact = false;
  state.signature = CodeSignature::fromJson(*found, intact);
  state.valid = intact && state.signature.codeDigest == contentDigest(package);
  return state;
}

void PackageSignature::write(const std::filesystem::path& package, const CodeSignature& signature) {
  auto trailer = FileTrailer::read(package);
  trailer.metadata["packageSignature"] = signature.toJson();
  FileTrailer::write(package, trailer.metadata);
}

} // namespace macsim
