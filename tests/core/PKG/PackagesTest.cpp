// The package tools' interface against the stand-ins: what pkgutil says before and after
// productsign, and an expansion. Building is covered whole by PKGBuilderStandInTest.
#include <gtest/gtest.h>

#include "core/PKG/Packages.hpp"
#include "support/StandInRoot.hpp"

using namespace halyard;
namespace fs = std::filesystem;
using bosun::testing::StandInRoot;

TEST(PackagesTest, SignatureBeforeAndAfterSigningAndExpansion) {
  bosun::testing::StandInRootInForce stand;
  stand.addIdentity(StandInRoot::installer);
  const ToolRun run{AppleTools::Runner::shared, AppleTools::packagingLimit};
  const auto unsignedPackage = stand.makePKG("Plain", stand.makeApp("Plain"), "");

  const auto before = Packages::checkSignature(unsignedPackage, run);
  EXPECT_FALSE(before.isSigned);
  EXPECT_EQ(before.run.status, 1);
  EXPECT_FALSE(before.developerIDInstaller);
  EXPECT_EQ(before.signer, std::nullopt);

  const auto signedPackage = stand.work() / "Signed.pkg";
  const auto signing = Packages::sign(StandInRoot::installer, unsignedPackage, signedPackage, run);
  ASSERT_EQ(signing.status, 0) << signing.combined();
  const auto after = Packages::checkSignature(signedPackage, run);
  EXPECT_TRUE(after.isSigned);
  EXPECT_TRUE(after.developerIDInstaller);
  EXPECT_EQ(after.signer, StandInRoot::installer);
  EXPECT_EQ(after.teamIdentifier, "A1B2C3D4E5");
  EXPECT_TRUE(after.trustedTimestamp);

  const auto folder = stand.work() / "expanded";
  EXPECT_EQ(Packages::expand(signedPackage, folder, run).status, 0);
  EXPECT_TRUE(fs::is_directory(folder));
  // pkgutil refuses a folder that exists.
  EXPECT_NE(Packages::expand(signedPackage, folder, run).status, 0);
}
