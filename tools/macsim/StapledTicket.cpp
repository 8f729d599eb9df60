#include "StapledTicket.hpp"

#include "CodeLayout.hpp"
#include "FileTrailer.hpp"
#include "Files.hpp"
#include "FlatPackage.hpp"
#include "PackageSignature.hpp"
#include "SignatureStore.hpp"

namespace fs = std::filesystem;

namespace macsim {

std::optional<std::string> StapledTicket::itemDigest(const fs::path& path) {
  const auto layout = CodeLayout::of(path);
  if (layout.kind == CodeLayout::Kind::file && FlatPackage::isPackage(path)) {
    const auto state = PackageSignature::read(path);
    if (!state || !state->valid) return std::nullopt;
    return state->signature.cdhash();
  }
  const auto stored = SignatureStore::read(layout);
  if (!stored || !stored->intact) return std::nullopt;
  return stored->signature.cdhash();
}

std::optional<nlohmann::json> StapledTicket::read(const fs::path& path) {
  const auto layout = CodeLayout::of(path);
  if (layout.kind == CodeLayout::Kind::bundle) {
    const fs::path file = layout.ticketFile();
    if (!fs::is_regular_file(file)) return std::nullopt;
    auto json = nlohmann::json::parse(Files::read(file), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return std::nullopt;
    return json;
  }
  if (layout.kind != CodeLayout::Kind::file) return std::nullopt;
  const auto metadata = FileTrailer::read(path).metadata;
  auto found = metadata.find("ticket");
  if (found == metadata.end() || !found->is_object()) return std::nullopt;
  return *found;
}

void StapledTicket::write(const fs::path& path, const nlohmann::json& ticket) {
  const auto layout = CodeLayout::of(path);
  if (layout.kind == CodeLayout::Kind::bundle) {
    Files::writeAtomically(layout.ticketFile(),
                           ticket.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) +
                               "\n");
    return;
  }
  auto metadata = FileTrailer::read(path).metadata;
  metadata["ticket"] = ticket;
  FileTrailer::write(path, metadata);
}

bool StapledTicket::isValid(const fs::path& path) {
  const auto ticket = read(path);
  const auto digest = itemDigest(path);
  return ticket && digest && ticket->value("cdhash", "") == *digest;
}

} // namespace macsim
