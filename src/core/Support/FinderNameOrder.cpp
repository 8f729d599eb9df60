#include "core/Support/FinderNameOrder.hpp"

#include <algorithm>
#include <climits>

#include <unicode/ustring.h>

#include "core/Support/CollationFunctions.hpp"

namespace halyard {

struct FinderNameOrder::Collator {
  const CollationFunctions& icu = CollationFunctions::current();
  UCollator* collator = nullptr;
};

FinderNameOrder::FinderNameOrder() : collator_(std::make_unique<Collator>()) {
  const CollationFunctions& icu = collator_->icu;
  UErrorCode status = U_ZERO_ERROR;
  // The root locale: the same order on every machine, whatever the user's language.
  UCollator* collator = icu.open("", &status);
  if (U_FAILURE(status)) {
    if (collator) icu.close(collator);
    return; // byte order only
  }
  // Secondary strength ignores case (a tertiary difference) and keeps accents.
  icu.setStrength(collator, UCOL_SECONDARY);
  icu.setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  collator_->collator = collator;
}

FinderNameOrder::~FinderNameOrder() {
  if (collator_->collator) collator_->icu.close(collator_->collator);
}

bool FinderNameOrder::operator()(std::string_view a, std::string_view b) const {
  if (collator_->collator && a.size() <= INT32_MAX && b.size() <= INT32_MAX) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        collator_->icu.compareUTF8(collator_->collator, a.data(), static_cast<int32_t>(a.size()),
                                   b.data(), static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && result != UCOL_EQUAL) return result == UCOL_LESS;
  }
  return a < b;
}

std::string FinderNameOrder::sortKey(std::string_view name) const {
  if (!collator_->collator || name.size() > INT32_MAX / 2) return {};
  UErrorCode status = U_ZERO_ERROR;
  std::u16string text(name.size(), u'\0');
  int32_t length = 0;
  // Bytes that are not UTF-8 become U+FFFD, as in the comparison.
  u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, name.data(),
                       static_cast<int32_t>(name.size()), 0xFFFD, nullptr, &status);
  if (U_FAILURE(status)) return {};
  std::string key(64, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int32_t needed = collator_->icu.sortKey(collator_->collator, text.data(), length,
                                                  reinterpret_cast<uint8_t*>(key.data()),
                                                  static_cast<int32_t>(key.size()));
    if (needed <= 0) return {};
    if (static_cast<size_t>(needed) <= key.size()) {
      key.resize(static_cast<size_t>(needed) - 1); // without the terminating zero
      return key;
    }
    key.assign(static_cast<size_t>(needed), '\0');
  }
  return {};
}

void FinderNameOrder::sortByFileName(std::vector<std::filesystem::path>& paths) {
  // One name is in order already, and needs no collator (nor its library loaded).
  if (paths.size() < 2) return;
  // One sort key per name, then plain byte comparisons: far cheaper than collating every pair.
  const FinderNameOrder collation;
  struct Entry {
    std::string key;
    std::string name;
    std::filesystem::path path;
  };
  std::vector<Entry> entries;
  entries.reserve(paths.size());
  for (auto& path : paths) {
    std::string name = path.filename().string();
    std::string key = collation.sortKey(name);
    entries.push_back({std::move(key), std::move(name), std::move(path)});
  }
  std::vector<size_t> order(entries.size());
  for (size_t index = 0; index < order.size(); ++index)
    order[index] = index;
  std::sort(order.begin(), order.end(), [&entries](size_t a, size_t b) {
    if (entries[a].key != entries[b].key) return entries[a].key < entries[b].key;
    return entries[a].name < entries[b].name;
  });
  paths.clear();
  for (const size_t index : order)
    paths.push_back(std::move(entries[index].path));
}

} // namespace halyard
