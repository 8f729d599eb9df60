#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "core/DiskImage/DiskImageAttachment.hpp"
#include "core/DiskImage/DiskImageListing.hpp"
#include "core/DiskImage/DiskImages.hpp"
#include "core/Inspection/AppBundleInfo.hpp"
#include "core/Inspection/AppBundleLocator.hpp"
#include "core/Inspection/AppEntitlements.hpp"
#include "core/Inspection/DMGInspectionRules.hpp"
#include "core/Inspection/InspectionFieldCatalogue.hpp"
#include "core/Inspection/InspectionService.hpp"
#include "core/Notarization/Stapler.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/Architectures.hpp"
#include "core/Signing/CodeSign.hpp"
#include "core/Signing/Gatekeeper.hpp"
#include "core/Support/FolderLock.hpp"

namespace halyard {

namespace {
using Rules = DMGInspectionRules;

// Two inspections of one image would share its attachment, and the first to finish would eject
// it under the other. The section from looking for a mount to ejecting runs under an exclusive
// lock on the image's folder (not on the image itself, which the disk image tools may lock), so
// concurrent inspections of the same image take turns. Without a lock (an unreadable folder) the
// inspection runs all the same.
class ImageFolderLock {
public:
  explicit ImageFolderLock(const std::filesystem::path& image)
      : descriptor_(::open(image.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (descriptor_ < 0) return;
    // A working folder of this process is locked for as long as it lives (FolderLock): waiting
    // for that lock would never end, and no one else takes turns in it.
    if (FolderLock::holder(image.parent_path()) == FolderLock::Holder::thisProcess) return;
    while (::flock(descriptor_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~ImageFolderLock() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  ImageFolderLock(const ImageFolderLock&) = delete;
  ImageFolderLock& operator=(const ImageFolderLock&) = delete;

private:
  int descriptor_;
};
using C = InspectionCategoryID;

InspectionCategory categoryOf(C id, std::vector<InspectionField> fields) {
  return InspectionService::category(id, std::string(InspectionFieldCatalogue::categoryTitle(id)),
                                     std::move(fields));
}

void append(std::vector<InspectionField>& fields, std::vector<InspectionField> more) {
  fields.insert(fields.end(), std::make_move_iterator(more.begin()),
                std::make_move_iterator(more.end()));
}
} // namespace

InspectionReport DMGInspection::inspect(const std::filesystem::path& file,
                                        InspectionFileFields fileFields,
                                        const InspectionService::Progress& progress,
                                        const InspectionRunner::Function& run,
                                        const InspectionService::WindowSeen& windowSeen) {
  const auto query = InspectionRunner::bound(run, InspectionRunner::queryLimit);
  progress("Checking the DMG signature…");
  const auto signatureCheck = CodeSign::verify(CodeSign::Check::strict, file, query);
  auto dmgSignature = Rules::dmgSignature(signatureCheck, CodeSign::details(file, query));

  progress("Checking Gatekeeper and the stapled ticket for the DMG…");
  const auto assessment = Gatekeeper::assess(Gatekeeper::Kind::open, file, query);
  const auto ticket = Stapler::validate(file, query);
  const bool dmgNotarized = assessment.notarized();

  progress("Mounting the DMG read-only…");
  const ImageFolderLock lock(std::filesystem::absolute(file));
  // Detached on every way out of the inspection; until then a cancellation knows of it.
  std::optional<DiskImageAttachment> attached;
  std::optional<std::filesystem::path> mountPoint;
  if (const auto images =
          DiskImages::info(InspectionRunner::bound(run, InspectionRunner::listingLimit)))
    mountPoint = DiskImageListing::mountPoint(*images, file);
  if (!mountPoint) {
    const auto attach = DiskImages::attach(
        file, {.readOnly = true, .mountPoint = {}},
        [&run](const char* executable, const auto& arguments, const std::string& answer) {
          return run(executable, arguments, InspectionRunner::queryLimit, answer);
        });
    const auto listed = attach.status == 0 ? DiskImageListing::attached(attach.standardOutput)
                                           : DiskImageListing::Attached{};
    if (listed.mountPoint) mountPoint = std::filesystem::path(*listed.mountPoint);
    // Attached without a mounted volume: the device is released all the same.
    if (listed.mountPoint || listed.device)
      attached.emplace(listed.device.value_or(""), listed.mountPoint.value_or(""),
                       InspectionRunner::bound(run, InspectionRunner::detachLimit), false);
  }
  std::error_code error;
  const bool mounted = mountPoint && std::filesystem::is_directory(*mountPoint, error);

  const auto app = mounted ? AppBundleLocator::find(*mountPoint) : std::nullopt;
  std::optional<std::string> appName;
  if (app) appName = app->filename().string();

  std::vector<InspectionField> contents{Rules::mountability(mounted),
                                        Rules::appBundle(app, mounted)};
  std::vector<InspectionField> windowFields;
  if (mounted) {
    progress("Reading the window layout…");
    const VolumeWindow window = VolumeWindow::read(*mountPoint);
    windowFields = Rules::windowFields(window);
    if (windowSeen) windowSeen(window.scene);
  }
  std::vector<InspectionField> signing{std::move(dmgSignature)};
  std::vector<InspectionField> trust;
  bool appNotarized = false;

  if (app) {
    const auto bundleInfo = AppBundleInfo::read(*app);
    std::optional<std::vector<std::string>> architectures;
    if (const auto executable = bundleInfo.executablePath(*app))
      architectures = Architectures::of(*executable, query);
    append(contents, Rules::bundleFacts(bundleInfo, architectures));

    progress("Verifying the app signature (deep and strict)…");
    const auto appCheck =
        CodeSign::verify(CodeSign::Check::deep, *app,
                         InspectionRunner::bound(run, InspectionRunner::deepVerificationLimit));
    signing.push_back(Rules::appSignature(appCheck));
    append(signing, Rules::signatureDetails(CodeSign::details(*app, query)));

    progress("Reading the app's entitlements…");
    signing.push_back(
        AppEntitlements::field(AppEntitlements::read(*app, run), InspectionFileKind::dmg));

    progress("Asking Gatekeeper about the app…");
    const auto appAssessment =
        Gatekeeper::assess(Gatekeeper::Kind::execute, *app, query, {.verbosity = 3});
    appNotarized = appAssessment.notarized();
    trust.push_back(Rules::appGatekeeper(appAssessment));
    const auto appTicket = Stapler::validate(*app, query);
    trust.push_back(Rules::appStapled(appTicket));
  } else {
    auto unavailable =
        Rules::unavailableAppFields(mounted ? "no app bundle was found" : "the DMG did not mount");
    signing.push_back(std::move(unavailable[0]));
    trust.push_back(std::move(unavailable[1]));
  }

  append(contents, std::move(windowFields));
  trust.push_back(Rules::fileGatekeeper(assessment, signatureCheck.valid(), dmgNotarized));
  trust.push_back(Rules::notarization(appNotarized, dmgNotarized));
  trust.push_back(Rules::fileStapled(ticket));

  if (attached) {
    progress("Ejecting the DMG…");
    attached->detach();
  }

  std::vector<InspectionCategory> categories;
  categories.push_back(categoryOf(C::file, std::move(fileFields.fields)));
  categories.push_back(categoryOf(C::contents, std::move(contents)));
  categories.push_back(categoryOf(C::signing, std::move(signing)));
  categories.push_back(categoryOf(C::trust, std::move(trust)));
  return InspectionService::report(file, InspectionFileKind::dmg, std::move(appName),
                                   std::move(categories));
}

} // namespace halyard
