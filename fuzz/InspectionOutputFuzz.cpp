// Arbitrary tool output for the inspection's readers: the first byte picks the reader (entitlement
// property list, hdiutil property lists, Info.plist, codesign details, pkgutil signature output,
// Distribution and PackageInfo text); the rest is the output. None may crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DiskImage/DiskImageListing.hpp"
#include "core/Inspection/AppBundleInfo.hpp"
#include "core/Inspection/AppEntitlements.hpp"
#include "core/Inspection/DMGInspectionRules.hpp"
#include "core/Inspection/PKGInspectionRules.hpp"
#include "core/Inspection/PackageIdentifierFinder.hpp"
#include "core/Process/Architectures.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const halyard::ProcessOutcome outcome{0, text, text};
  switch (data[0] % 7) {
  case 0:
    if (const auto entitlements = halyard::AppEntitlements::parse(text))
      (void)halyard::AppEntitlements::field(entitlements, halyard::InspectionFileKind::dmg);
    break;
  case 1:
    (void)halyard::DiskImageListing::mountPoint(halyard::DiskImageListing::images(text),
                                                "/tmp/X.dmg");
    break;
  case 2:
    (void)halyard::AppBundleInfo::parse(text).executablePath("/V/X.app");
    break;
  case 3:
    (void)halyard::DMGInspectionRules::signatureDetails(halyard::CodeSignDetails::from(outcome));
    (void)halyard::DMGInspectionRules::dmgSignature({outcome},
                                                    halyard::CodeSignDetails::from(outcome));
    break;
  case 4:
    (void)halyard::PKGInspectionRules::signatureFields(
        halyard::PackageSignatureFacts::from(outcome));
    break;
  case 5:
    (void)halyard::PackageIdentifierFinder::inDistribution(text);
    break;
  default:
    (void)halyard::PackageIdentifierFinder::inPackageInfo(text);
    (void)halyard::DMGInspectionRules::architectures(halyard::Architectures::read(text));
    break;
  }
  return 0;
}
