#include "ResourceSeal.hpp"

#include "Digest.hpp"
#include "Files.hpp"
#include "PropertyList.hpp"
#include "SignatureStore.hpp"

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace macsim {

namespace {

std::string bytesOfHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::string hexOfBytes(const char* data, uint64_t length) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string hex;
  for (uint64_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    hex.push_back(digits[byte >> 4]);
    hex.push_back(digits[byte & 0x0F]);
  }
  return hex;
}

bool startsWith(const fs::path& path, const fs::path& prefix) {
  auto p = path.begin();
  for (auto q = prefix.begin(); q != prefix.end(); ++q, ++p)
    if (p == path.end() || *p != *q) return false;
  return true;
}

} // namespace

ResourceSeal ResourceSeal::of(const CodeLayout& layout, std::vector<fs::path>& unsignedCode) {
  ResourceSeal seal;
  const fs::path top = layout.path;
  const auto nested = layout.nestedCode();
  std::set<fs::path> nestedRelative;
  for (const auto& item : nested) {
    const auto relative = item.lexically_relative(top);
    nestedRelative.insert(relative);
    Entry entry;
    entry.type = Entry::Type::nested;
    if (auto signature = SignatureStore::read(CodeLayout::of(item)))
      entry.value = signature->signature.cdhash();
    else
      unsignedCode.push_back(item);
    seal.entries[relative.generic_string()] = entry;
  }
  std::vector<fs::path> excluded = {layout.signatureFolder().lexically_relative(top),
                                    layout.ticketFile().lexically_relative(top),
                                    layout.infoPlist.lexically_relative(top)};
  if (layout.mainExecutable) excluded.push_back(layout.mainExecutable->lexically_relative(top));
  for (const auto& relative : Files::walk(top)) {
    if (std::any_of(excluded.begin(), excluded.end(),
                    [&](const fs::path& prefix) { return startsWith(relative, prefix); }))
      continue;
    if (std::any_of(nestedRelative.begin(), nestedRelative.end(),
                    [&](const fs::path& prefix) { return startsWith(relative, prefix); }))
      continue;
    const fs::path item = top / relative;
    const auto status = fs::symlink_status(item);
    Entry entry;
    if (fs::is_symlink(status)) {
      entry.type = Entry::Type::symlink;
      entry.value = fs::read_symlink(item).string();
    } else if (fs::is_regular_file(status)) {
      entry.value = Digest::sha256OfFile(item);
    } else {
      continue;
    }
    seal.entries[relative.generic_string()] = entry;
  }
  return seal;
}

std::string ResourceSeal::plist() const {
  auto root = PropertyList::dictionary();
  auto files = PropertyList::dictionary();
  for (const auto& [path, entry] : entries) {
    auto item = PropertyList::dictionary();
    switch (entry.type) {
    case Entry::Type::file: {
      const auto bytes = bytesOfHex(entry.value);
      item.setData("hash2", bytes.data(), bytes.size());
      break;
    }
    case Entry::Type::symlink:
      item.setString("symlink", entry.value);
      break;
    case Entry::Type::nested: {
      const auto bytes = bytesOfHex(entry.value);
      item.setData("cdhash", bytes.data(), bytes.size());
      item.setString("requirement", "cdhash H\"" + entry.value + "\"");
      break;
    }
    }
    files.set(path.c_str(), std::move(item));
  }
  root.set("files2", std::move(files));
  return root.xml();
}

std::optional<ResourceSeal> ResourceSeal::parse(const std::string& plistBytes) {
  auto root = PropertyList::parse(plistBytes);
  if (!root.isDictionary()) return std::nullopt;
  plist_t files = PropertyList::item(root.node(), "files2");
  if (files == nullptr || plist_get_node_type(files) != PLIST_DICT) return std::nullopt;
  ResourceSeal seal;
  for (const auto& [key, item] : PropertyList::entries(files)) {
    Entry entry;
    if (const auto hash = PropertyList::data(item, "hash2")) {
      entry.value = hexOfBytes(hash->data(), hash->size());
    } else if (const auto cdhash = PropertyList::data(item, "cdhash")) {
      entry.type = Entry::Type::nested;
      entry.value = hexOfBytes(cdhash->data(), cdhash->size());
    } else if (PropertyList::item(item, "symlink") != nullptr) {
      entry.type = Entry::Type::symlink;
      entry.value = PropertyList::string(item, "symlink").value_or("");
    }
    seal.entries[key] = entry;
  }
  return seal;
}

ResourceSeal::Difference ResourceSeal::compare(const ResourceSeal& current) const {
  Difference difference;
  for (const auto& [path, entry] : entries) {
    auto found = current.entries.find(path);
    if (found == current.entries.end())
      difference.missing.push_back(path);
    else if (!(found->second == entry))
      difference.modified.push_back(path);
  }
  for (const auto& [path, entry] : current.entries)
    if (entries.count(path) == 0) difference.added.push_back(path);
  return difference;
}

} // namespace macsim
