#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

#include "core/Support/Error.hpp"
#include "core/Support/SHA256.hpp"
#include "core/Support/TemporaryFolder.hpp"

using namespace halyard;

TEST(SHA256Test, KnownDigests) {
  EXPECT_EQ(SHA256::hexDigest(""),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(SHA256::hexDigest("abc"),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(SHA256Test, FileDigestSpansChunks) {
  TemporaryFolder folder("SHA256Test_");
  const auto file = folder.path() / "data";
  // One million "a": a published test vector, and larger than one read chunk.
  std::ofstream(file, std::ios::binary) << std::string(1000000, 'a');
  EXPECT_EQ(SHA256::hexDigestOfFile(file),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_THROW(SHA256::hexDigestOfFile(folder.path() / "missing"), Error);
  EXPECT_THROW(SHA256::hexDigestOfFile(folder.path()), Error); // a folder cannot be read
}

// A release is resumed only when its inputs are the same: the tree digest must move with every
// change a rebuilt app can bring, and with nothing else.
TEST(SHA256Test, TreeDigestFollowsContentsNamesKindsAndLinks) {
  TemporaryFolder folder("SHA256Test_");
  const auto make = [&](const std::string& name) {
    const auto app = folder.path() / name;
    std::filesystem::create_directories(app / "Contents/MacOS");
    std::ofstream(app / "Contents/Info.plist") << "<plist/>";
    std::ofstream(app / "Contents/MacOS/Tool") << "binary";
    std::filesystem::create_symlink("MacOS/Tool", app / "Contents/Current");
    return app;
  };
  const auto first = make("First.app");
  const auto baseline = SHA256::hexDigestOfTree(first);
  EXPECT_EQ(SHA256::hexDigestOfTree(make("Second.app")),
            baseline); // the folder's own name is not in it
  EXPECT_EQ(SHA256::hexDigestOfTree(first / "Contents/Info.plist"), SHA256::hexDigest("<plist/>"));

  const std::vector<std::function<void(const std::filesystem::path&)>> changes = {
      [](const auto& app) { std::ofstream(app / "Contents/MacOS/Tool") << "binary 2"; },
      [](const auto& app) {
        std::filesystem::rename(app / "Contents/MacOS/Tool", app / "Contents/MacOS/Tool2");
      },
      [](const auto& app) {
        std::filesystem::permissions(app / "Contents/MacOS/Tool",
                                     std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
      },
      [](const auto& app) {
        std::filesystem::remove(app / "Contents/Current");
        std::filesystem::create_symlink("MacOS", app / "Contents/Current");
      },
      [](const auto& app) { std::filesystem::create_directory(app / "Contents/Resources"); },
  };
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const auto app = make("Changed" + std::to_string(i) + ".app");
    changes[i](app);
    EXPECT_NE(SHA256::hexDigestOfTree(app), baseline) << "change " << i;
  }
}
