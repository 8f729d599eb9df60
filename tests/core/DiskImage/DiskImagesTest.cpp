// hdiutil's command lines against the stand-in: create and convert over older files, each attach
// form as listed, both detach targets, and a license agreement answered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "core/DiskImage/DiskImages.hpp"
#include "core/Process/ToolProcess.hpp"
#include "support/StandInRoot.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(DiskImagesTest, AttachFormsAreListedAndDetachedByDeviceOrMountPoint) {
  bosun::testing::StandInRootInForce stand;
  const ToolRun run{AppleTools::Runner::shared, AppleTools::diskImageLimit};
  const DiskImages::AnsweringRun answering = [](const char* executable, const auto& arguments,
                                                const std::string& answer) {
    return ToolProcess::run(executable, arguments, 60, answer);
  };
  const fs::path writable = stand.work() / "Plain rw.dmg", licensed = stand.work() / "Terms.dmg",
                 packed = stand.work() / "Packed.dmg", folder = stand.work() / "mounted here";
  for (const auto& older : {writable, licensed})
    std::ofstream(older) << "an older file";
  ASSERT_EQ(DiskImages::create(writable, 3, "Plain Vol", run).status, 0);
  ASSERT_EQ(DiskImages::convert(writable, licensed, DMGCompressionFormat::zlib, run).status, 0);
  ASSERT_EQ(DiskImages::convert(writable, packed, DMGCompressionFormat::lzfse, run).status, 0);
  const auto facts = [&](const fs::path& image) {
    return stand.toolOK("/usr/bin/hdiutil", {"imageinfo", image.string()});
  };
  EXPECT_THAT(facts(writable), HasSubstr("Total Bytes: 3145728\n"));
  EXPECT_THAT(facts(licensed), HasSubstr("Format: UDZO\n"));
  EXPECT_THAT(facts(packed), HasSubstr("Format: ULFO\n"));
  const fs::path resources = stand.work() / "sla.plist";
  std::ofstream(resources) << "<plist version=\"1.0\"><dict><key>TEXT</key><array><dict><key>ID"
                              "</key><string>5000</string><key>Name</key><string>English</string>"
                              "<key>Data</key><data>VGVybXM=</data></dict></array></dict></plist>";
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
    const auto images = DiskImages::info(run).value_or(std::vector<DiskImageListing::Image>{});
    ASSERT_EQ(images.size(), 1u);
    const auto& listed = images.front();
    EXPECT_EQ(listed.imagePath, fs::canonical(item.image).string());
    ASSERT_TRUE(listed.mountPoint.has_value());
    if (item.form.mountPoint) {
      EXPECT_EQ(fs::path(*listed.mountPoint), fs::canonical(folder));
    } else { // the agreement's text comes first
      EXPECT_EQ(attached.standardOutput.starts_with("Terms\nAgree Y/N? "), item.image == licensed);
    }
    const std::string target = item.detachByDevice ? listed.device : *listed.mountPoint;
    EXPECT_EQ(DiskImages::detach(target, false, true, run).status, 0);
    EXPECT_EQ(DiskImages::info(run), std::vector<DiskImageListing::Image>{});
  }

  // A listing that fails is no listing, though it prints what a working one would.
  stand.set("MACSIM_HDIUTIL_STDOUT", stand.toolOK("/usr/bin/hdiutil", {"info", "-plist"}));
  stand.set("MACSIM_HDIUTIL_FAIL", "1");
  EXPECT_EQ(DiskImages::info(run), std::nullopt);
}

} // namespace
} // namespace halyard
