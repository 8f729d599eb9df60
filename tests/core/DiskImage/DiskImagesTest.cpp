// hdiutil's command lines against the stand-in: each attach form as the listing shows it, both
// detach targets, and an image with a license agreement, which attaches only when answered.
#include <gtest/gtest.h>

#include <fstream>

#include "core/DiskImage/DiskImages.hpp"
#include "core/Process/ToolProcess.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;

TEST(DiskImagesTest, AttachFormsAreListedAndDetachedByDeviceOrMountPoint) {
  bosun::testing::StandInRootInForce stand;
  const ToolRun run{AppleTools::Runner::shared, AppleTools::diskImageLimit};
  const DiskImages::AnsweringRun answering = [](const char* executable, const auto& arguments,
                                                const std::string& answer) {
    return ToolProcess::run(executable, arguments, 60, answer);
  };
  const fs::path writable = stand.work() / "Plain rw.dmg", licensed = stand.work() / "Terms.dmg",
                 packed = stand.work() / "Packed.dmg", folder = stand.work() / "mounted here";
  ASSERT_EQ(DiskImages::create(writable, 1, "Plain Vol", run).status, 0);
  ASSERT_EQ(DiskImages::convert(writable, licensed, DMGCompressionFormat::zlib, run).status, 0);
  ASSERT_EQ(DiskImages::convert(writable, packed, DMGCompressionFormat::lzfse, run).status, 0);
  const fs::path resources = stand.work() / "sla.plist";
  std::ofstream(resources) << "<plist version=\"1.0\"><dict><key>TEXT</key><array><dict>"
                              "<key>ID</key><string>5000</string><key>Name</key><string>English"
                              "</string><key>Data</key><data>VGVybXM=</data></dict></array>"
                              "</dict></plist>";
  ASSERT_EQ(DiskImages::udifrez(resources, licensed, run).status, 0);
  fs::create_directory(folder);

  const struct {
    fs::path image;
    DiskImages::AttachForm form;
    bool detachByDevice;
  } cases[] = {
      {writable, {}, true},
      {licensed, {.readOnly = true, .mountPoint = {}}, false},
      {packed, {.readOnly = true, .mountPoint = folder}, false},
  };
  for (const auto& item : cases) {
    SCOPED_TRACE(item.image.filename().string());
    const auto attached = DiskImages::attach(item.image, item.form, answering);
    ASSERT_EQ(attached.status, 0) << attached.combined();
    const auto images = DiskImages::info(run);
    ASSERT_TRUE(images.has_value());
    ASSERT_EQ(images->size(), 1u);
    const auto& listed = images->front();
    EXPECT_EQ(listed.imagePath, fs::canonical(item.image).string());
    EXPECT_TRUE(listed.device.starts_with("/dev/disk")) << listed.device;
    ASSERT_TRUE(listed.mountPoint.has_value());
    if (item.form.mountPoint) {
      EXPECT_EQ(fs::path(*listed.mountPoint), fs::canonical(folder));
    } else {
      // The agreement's text comes before the property list.
      EXPECT_EQ(attached.standardOutput.starts_with("Terms\nAgree Y/N? "), item.image == licensed);
      EXPECT_EQ(DiskImageListing::attached(attached.standardOutput).mountPoint, listed.mountPoint);
    }
    const std::string target = item.detachByDevice ? listed.device : *listed.mountPoint;
    EXPECT_EQ(DiskImages::detach(target, false, true, run).status, 0);
    EXPECT_EQ(DiskImages::info(run), std::vector<DiskImageListing::Image>{});
    EXPECT_NE(DiskImages::detach(target, true, false, run).status, 0) << "detached twice";
  }

  stand.set("MACSIM_HDIUTIL_FAIL", "1");
  EXPECT_EQ(DiskImages::info(run), std::nullopt);
}

} // namespace
} // namespace halyard
