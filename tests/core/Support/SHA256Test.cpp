#include <gtest/gtest.h>

#include <fstream>

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
