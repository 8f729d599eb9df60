#include "SignatureStore.hpp"

#include "Digest.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"

namespace fs = std::filesystem;

namespace macsim {

std::optional<SignatureStore::Stored> SignatureStore::read(const CodeLayout& layout) {
  nlohmann::json record;
  if (layout.kind == CodeLayout::Kind::bundle) {
    const fs::path file = layout.signatureFolder() / "CodeSignature";
    if (!fs::is_regular_file(file)) return std::nullopt;
    record = nlohmann::json::parse(Files::read(file), nullptr, false);
    if (record.is_discarded() || !record.is_object()) return Stored{CodeSignature{}, false};
  } else if (layout.kind == CodeLayout::Kind::file) {
    const auto trailer = FileTrailer::read(layout.path);
    auto found = trailer.metadata.find("signature");
    if (found == trailer.metadata.end() || !found->is_object()) return std::nullopt;
    record = *found;
  } else {
    return std::nullopt;
  }
  Stored stored;
  stored.signature = CodeSignature::fromJson(record, stored.intact);
  return stored;
}

void SignatureStore::write(const CodeLayout& layout, const CodeSignature& signature,
                           const std::string& resourcesPlist) {
  if (layout.kind == CodeLayout::Kind::bundle) {
    fs::create_directories(layout.signatureFolder());
    Files::writeAtomically(layout.signatureFolder() / "CodeResources", resourcesPlist);
    Files::writeAtomically(
        layout.signatureFolder() / "CodeSignature",
        signature.toJson().dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    return;
  }
  auto trailer = FileTrailer::read(layout.path);
  trailer.metadata["signature"] = signature.toJson();
  FileTrailer::write(layout.path, trailer.metadata);
}

bool SignatureStore::remove(const CodeLayout& layout) {
  if (layout.kind == CodeLayout::Kind::bundle) {
    std::error_code ignored;
    return fs::remove_all(layout.signatureFolder(), ignored) > 0;
  }
  auto trailer = FileTrailer::read(layout.path);
  if (trailer.metadata.erase("signature") == 0) return false;
  FileTrailer::write(layout.path, trailer.metadata);
  return true;
}

std::string SignatureStore::fileCodeDigest(const fs::path& path) {
  const auto trailer = FileTrailer::read(path);
  const std::string content = Digest::sha256OfFile(path, trailer.contentLength);
  auto resources = trailer.metadata.find("resources");
  if (resources == trailer.metadata.end() || !resources->is_string()) return content;
  return Digest::sha256(content + "\n" + resources->get<std::string>());
}

} // namespace macsim
