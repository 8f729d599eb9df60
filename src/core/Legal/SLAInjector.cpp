#include "core/Legal/SLAInjector.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/DiskImage/DiskImages.hpp"
#include "core/Legal/SLAResourceBuilder.hpp"
#include "core/Process/AppleTools.hpp"
#include "core/Process/CoreCommand.hpp"
#include "core/Support/AtomicFile.hpp"
#include "core/Support/AtomicFileCopy.hpp"
#include "core/Support/HalyardCoreLog.hpp"
#include "core/Support/TemporaryFolder.hpp"
#include "core/Support/UUID.hpp"

namespace halyard {

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int code) {
  throw Error(SLAInjector::InjectionError::domainName, code,
              what + " " + path.string() + ": " + std::strerror(code));
}

// The hidden working copy of the image, removed unless it replaced the image.
class WorkingCopy {
public:
  explicit WorkingCopy(const std::filesystem::path& image)
      : path_(image.parent_path() /
              ("." + image.filename().string() + "." + UUID::randomString() + ".sla")) {
    std::error_code error;
    std::filesystem::copy_file(image, path_, error);
    if (error) {
      path_.clear();
      fail("Could not copy the disk image to", image.parent_path(), error.value());
    }
  }
  ~WorkingCopy() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove(path_, ignored);
  }
  WorkingCopy(const WorkingCopy&) = delete;
  WorkingCopy& operator=(const WorkingCopy&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Puts the finished copy in the image's place.
  void replace(const std::filesystem::path& image) {
    if (const auto error = AtomicFileCopy::replace(path_, image))
      fail("Could not replace", image, error.value());
    path_.clear();
  }

private:
  std::filesystem::path path_;
};

} // namespace

void SLAInjector::inject(const LicenseAgreement& agreement, const std::filesystem::path& dmg) {
  std::error_code error;
  if (!std::filesystem::exists(dmg, error)) throw InjectionError::notFound(dmg);

  TemporaryFolder folder("Halyard_SLA_");
  const auto plist = folder.path() / "sla.plist";
  AtomicFile::writeAll(plist, SLAResourceBuilder::plistData(agreement), 0600);

  WorkingCopy copy(dmg);
  CoreCommand::checked(DiskImages::udifrez(
      plist, copy.path(), {AppleTools::Runner::shared, AppleTools::diskImageLimit}));
  copy.replace(dmg);
  HalyardCoreLog::debugMessage("[Halyard] SLA injected successfully: " + dmg.filename().string());
}

} // namespace halyard
