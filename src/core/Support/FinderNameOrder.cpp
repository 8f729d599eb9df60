#include "core/Support/FinderNameOrder.hpp"

#include <algorithm>
#include <climits>

#include <unicode/ucol.h>

namespace halyard {

struct FinderNameOrder::Collator {
  UCollator* collator = nullptr;
};

FinderNameOrder::FinderNameOrder() : collator_(std::make_unique<Collator>()) {
  UErrorCode status = U_ZERO_ERROR;
  // The root locale: the same order on every machine, whatever the user's language.
  UCollator* collator = ucol_open("", &status);
  if (U_FAILURE(status)) {
    if (collator) ucol_close(collator);
    return; // byte order only
  }
  // Secondary strength ignores case (a tertiary difference) and keeps accents.
  ucol_setStrength(collator, UCOL_SECONDARY);
  ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  collator_->collator = collator;
}

FinderNameOrder::~FinderNameOrder() {
  if (collator_->collator) ucol_close(collator_->collator);
}

bool FinderNameOrder::operator()(std::string_view a, std::string_view b) const {
  if (collator_->collator && a.size() <= INT32_MAX && b.size() <= INT32_MAX) {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(collator_->collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_SUCCESS(status) && result != UCOL_EQUAL) return result == UCOL_LESS;
  }
  return a < b;
}

void FinderNameOrder::sortByFileName(std::vector<std::filesystem::path>& paths) {
  const FinderNameOrder order;
  std::vector<std::pair<std::string, std::filesystem::path>> named;
  named.reserve(paths.size());
  for (auto& path : paths)
    named.emplace_back(path.filename().string(), std::move(path));
  std::stable_sort(named.begin(), named.end(),
                   [&order](const auto& a, const auto& b) { return order(a.first, b.first); });
  paths.clear();
  for (auto& entry : named)
    paths.push_back(std::move(entry.second));
}

} // namespace halyard
