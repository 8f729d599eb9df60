// File names of arbitrary bytes (a release folder may hold anything the file system allows):
// classifying never fails, a match keeps the URL it was given and its language is one of the
// table, and the Finder's order is a strict weak order on any pair of names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/Legal/LicenseDocumentLocator.hpp"
#include "core/Support/FinderNameOrder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // One component: "/" and NUL cannot be part of a file name.
  std::string name;
  for (const char c : bytes)
    name.push_back(c == '/' || c == '\0' ? '_' : c);

  const std::filesystem::path url = std::filesystem::path("/release") / name;
  if (const auto match = halyard::LicenseDocumentLocator::classify(url)) {
    if (match->url != url) std::abort();
    bool known = false;
    for (const auto& language : halyard::LicenseLanguage::all())
      known = known || language == match->language;
    if (!known) std::abort();
  }
  static_cast<void>(halyard::LicenseDocumentLocator::kind(bytes));

  const halyard::FinderNameOrder order;
  const std::string half = name.substr(0, name.size() / 2);
  if (order(name, name)) std::abort();
  if (order(name, half) && order(half, name)) std::abort();
  return 0;
}
