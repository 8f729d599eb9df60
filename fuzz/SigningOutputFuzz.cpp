// Outside input of the signing area: `security find-identity` output and Info.plist bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Signing/AppBundleDisplayName.hpp"
#include "core/Signing/SigningIdentityDetector.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (auto kind :
       {halyard::SigningIdentityKind::application, halyard::SigningIdentityKind::installer})
    for (const auto& name : halyard::SigningIdentityDetector::parseIdentities(bytes, kind))
      if (!name.starts_with(halyard::prefix(kind))) __builtin_trap();
  (void)halyard::infoPlistDisplayName(bytes);
  return 0;
}
