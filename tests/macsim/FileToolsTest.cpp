#include "StandInFixture.hpp"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace macsim::testing {

namespace {

struct Entry {
  std::string name;
  std::string data;
  std::string link; // symbolic link target when not empty
};

// A ZIP archive written independently of the stand-ins.
std::string zipWith(const std::vector<Entry>& entries) {
  std::string output;
  struct archive* archive = archive_write_new();
  archive_write_set_format_zip(archive);
  size_t used = 0;
  std::vector<char> buffer(1 << 20);
  archive_write_open_memory(archive, buffer.data(), buffer.size(), &used);
  for (const auto& item : entries) {
    struct archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, item.name.c_str());
    if (item.link.empty()) {
      archive_entry_set_filetype(entry, AE_IFREG);
      archive_entry_set_size(entry, static_cast<la_int64_t>(item.data.size()));
    } else {
      archive_entry_set_filetype(entry, AE_IFLNK);
      archive_entry_set_symlink(entry, item.link.c_str());
    }
    archive_entry_set_perm(entry, 0644);
    archive_write_header(archive, entry);
    if (!item.data.empty()) archive_write_data(archive, item.data.data(), item.data.size());
    archive_entry_free(entry);
  }
  archive_write_close(archive);
  archive_write_free(archive);
  return std::string(buffer.data(), used);
}

} // namespace

class FileToolsTest : public StandInFixture {};

TEST_F(FileToolsTest, ExtractionRefusesEntriesThatLeaveTheDestination) {
  const fs::path destination = work / "out";
  for (const auto& entries : std::vector<std::vector<Entry>>{
           {{"good.txt", "fine", ""}, {"../evil.txt", "owned", ""}},
           {{"good.txt", "fine", ""}, {"a/../../evil.txt", "owned", ""}},
           {{"good.txt", "fine", ""}, {(work / "evil.txt").string(), "owned", ""}},
           {{"link", "", "../../evil.txt"}, {"good.txt", "fine", ""}},
           {{"link", "", work.string()}, {"link/evil.txt", "owned", ""}}}) {
    writeFile(work / "bad.zip", zipWith(entries));
    const auto result = run("ditto", {"-x", "-k", "--sequesterRsrc", "--rsrc",
                                      (work / "bad.zip").string(), destination.string()});
    EXPECT_EQ(result.status, 1) << entries.back().name;
    EXPECT_THAT(result.standardError, HasSubstr("ditto: "));
    EXPECT_FALSE(fs::exists(work / "evil.txt"));
    EXPECT_FALSE(fs::exists(base / "evil.txt"));
    // Nothing at all is written from a refused archive.
    EXPECT_FALSE(fs::exists(destination / "good.txt"));
  }
}

TEST_F(FileToolsTest, ZipRoundTripKeepsTheParentLinksAndModes) {
  const auto app = makeApp("Demo", true);
  const fs::path zip = work / "Demo.zip";
  ASSERT_EQ(run("ditto", {"-c", "-k", "--keepParent", app.string(), zip.string()}).status, 0);
  const auto names = archiveMemberNames(readFile(zip));
  EXPECT_THAT(names, ::testing::Contains("Demo.app/Contents/MacOS/Demo"));
  EXPECT_THAT(names, ::testing::Contains("Demo.app/Contents/Frameworks/Kit.framework/Kit"));

  // Finder archives carry __MACOSX metadata, which is not unpacked as files.
  writeFile(work / "finder.zip", zipWith({{"App.app/Contents/Info.plist", "<plist/>", ""},
                                          {"__MACOSX/App.app/._Info.plist", "meta", ""}}));
  ASSERT_EQ(
      run("ditto", {"-x", "-k", (work / "finder.zip").string(), (work / "f").string()}).status, 0);
  EXPECT_TRUE(fs::exists(work / "f/App.app/Contents/Info.plist"));
  EXPECT_FALSE(fs::exists(work / "f/__MACOSX"));

  const fs::path out = work / "unpacked";
  ASSERT_EQ(
      run("ditto", {"-x", "-k", "--sequesterRsrc", "--rsrc", zip.string(), out.string()}).status,
      0);
  EXPECT_TRUE(fs::is_symlink(out / "Demo.app/Contents/Frameworks/Kit.framework/Kit"));
  struct stat info {};
  ASSERT_EQ(::stat((out / "Demo.app/Contents/MacOS/Demo").c_str(), &info), 0);
  EXPECT_NE(info.st_mode & 0111, 0u);

  writeFile(work / "corrupt.zip", "PK\x03\x04 this is not really a zip file");
  const auto corrupt =
      run("ditto", {"-x", "-k", (work / "corrupt.zip").string(), (work / "c").string()});
  EXPECT_EQ(corrupt.status, 1);
  EXPECT_THAT(corrupt.standardError, HasSubstr("ditto: "));
  writeFile(work / "text.zip", "hello");
  EXPECT_EQ(
      run("ditto", {"-x", "-k", (work / "text.zip").string(), (work / "c").string()}).standardError,
      "ditto: Couldn't read PKZip signature\n");
}

TEST_F(FileToolsTest, DittoCopiesFoldersIntoNewPathsAndFilesIntoFolders) {
  const auto app = makeApp("Demo");
  ASSERT_EQ(::setxattr((app / "Contents/Info.plist").c_str(), "user.com.apple.quarantine", "0081;x",
                       6, 0),
            0);
  ASSERT_EQ(run("ditto", {app.string(), (work / "copy/Demo.app").string()}).status, 0);
  EXPECT_EQ(readFile(work / "copy/Demo.app/Contents/Resources/readme.txt"), "Sample resource\n");
  EXPECT_EQ(run("xattr", {"-p", "com.apple.quarantine",
                          (work / "copy/Demo.app/Contents/Info.plist").string()})
                .standardOutput,
            "0081;x\n");
  fs::create_directories(work / "folder");
  ASSERT_EQ(
      run("ditto", {(app / "Contents/Info.plist").string(), (work / "folder").string()}).status, 0);
  EXPECT_TRUE(fs::exists(work / "folder/Info.plist"));
  EXPECT_EQ(run("ditto", {(work / "absent").string(), (work / "x").string()}).standardError,
            "ditto: " + (work / "absent").string() + ": No such file or directory\n");
}

TEST_F(FileToolsTest, XattrPrintsClearsAndReportsMissingAttributes) {
  const auto app = makeApp("Demo");
  const fs::path file = app / "Contents/MacOS/Demo";
  ASSERT_EQ(run("xattr", {"-w", "com.apple.quarantine", "0083;65a1;Safari;", file.string()}).status,
            0);
  EXPECT_EQ(run("xattr", {"-p", "com.apple.quarantine", file.string()}).standardOutput,
            "0083;65a1;Safari;\n");
  ASSERT_EQ(run("xattr", {"-cr", app.string()}).status, 0);
  const auto missing = run("xattr", {"-p", "com.apple.quarantine", file.string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.standardError,
            "xattr: " + file.string() + ": No such xattr: com.apple.quarantine\n");
  EXPECT_EQ(run("xattr", {"-cr", (work / "absent").string()}).status, 1);
}

TEST_F(FileToolsTest, ShasumMatchesThePublishedTestVectors) {
  writeFile(work / "abc.txt", "abc");
  EXPECT_EQ(run("shasum", {"-a", "256", (work / "abc.txt").string()}).standardOutput,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  " +
                (work / "abc.txt").string() + "\n");
  const std::map<std::string, std::string> abc = {
      {"1", "a9993e364706816aba3e25717850c26c9cd0d89d"},
      {"224", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
      {"384", "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc23"
              "58baeca134c825a7"},
      {"512", "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a8"
              "36ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"}};
  for (const auto& [algorithm, digest] : abc)
    EXPECT_EQ(run("shasum", {"-a", algorithm, (work / "abc.txt").string()})
                  .standardOutput.substr(0, digest.size()),
              digest)
        << algorithm;

  // Two-block messages, an empty one, and a million bytes.
  writeFile(work / "448.txt", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
  EXPECT_EQ(run("shasum", {"-a", "1", (work / "448.txt").string()}).standardOutput.substr(0, 40),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(run("shasum", {"-a", "256", (work / "448.txt").string()}).standardOutput.substr(0, 64),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  writeFile(work / "896.txt", "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                              "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu");
  EXPECT_EQ(run("shasum", {"-a", "512", (work / "896.txt").string()}).standardOutput.substr(0, 128),
            "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4"
            "331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909");
  writeFile(work / "empty.txt", "");
  EXPECT_EQ(
      run("shasum", {"-a", "256", (work / "empty.txt").string()}).standardOutput.substr(0, 64),
      "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  writeFile(work / "million.txt", std::string(1000000, 'a'));
  EXPECT_EQ(
      run("shasum", {"-a", "256", (work / "million.txt").string()}).standardOutput.substr(0, 64),
      "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  EXPECT_EQ(run("shasum", {(work / "million.txt").string()}).standardOutput.substr(0, 40),
            "34aa973cd4c4daa4f61eeb2bdbad27316534016f");

  EXPECT_EQ(run("shasum", {"-a", "256", (work / "absent").string()}).status, 1);
  EXPECT_EQ(run("shasum", {"-a", "7", (work / "abc.txt").string()}).status, 1);
}

TEST_F(FileToolsTest, MachOFixturesHaveRealHeadersThatLipoReads) {
  const fs::path universal = work / "universal";
  ASSERT_EQ(macsim({"machO", "--arch", "x86_64", "--arch", "arm64", universal.string()}).status, 0);
  const std::string bytes = readFile(universal);
  // fat_header, big-endian: magic CAFEBABE, two slices; the first is CPU_TYPE_X86_64 (0x01000007)
  // with subtype 3, the second CPU_TYPE_ARM64 (0x0100000C).
  ASSERT_GE(bytes.size(), 48u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\xCA\xFE\xBA\xBE\x00\x00\x00\x02", 8));
  EXPECT_EQ(bytes.substr(8, 8), std::string("\x01\x00\x00\x07\x00\x00\x00\x03", 8));
  EXPECT_EQ(bytes.substr(28, 4), std::string("\x01\x00\x00\x0C", 4));
  EXPECT_EQ(run("lipo", {"-archs", universal.string()}).standardOutput, "x86_64 arm64\n");
  EXPECT_EQ(run("lipo", {"-info", universal.string()}).standardOutput,
            "Architectures in the fat file: " + universal.string() + " are: x86_64 arm64 \n");

  const fs::path thin = work / "thin";
  ASSERT_EQ(macsim({"machO", "--arch", "arm64", thin.string()}).status, 0);
  // mach_header_64, little-endian: magic FEEDFACF, CPU_TYPE_ARM64, MH_EXECUTE.
  const std::string header = readFile(thin).substr(0, 16);
  EXPECT_EQ(header,
            std::string("\xCF\xFA\xED\xFE\x0C\x00\x00\x01\x00\x00\x00\x00\x02\x00\x00\x00", 16));
  EXPECT_EQ(run("lipo", {"-archs", thin.string()}).standardOutput, "arm64\n");
  ASSERT_EQ(macsim({"machO", "--arch", "i386", "--arch", "x86_64", "--arch", "arm64",
                    (work / "three").string()})
                .status,
            0);
  EXPECT_EQ(run("lipo", {"-archs", (work / "three").string()}).standardOutput,
            "i386 x86_64 arm64\n");

  writeFile(work / "script", "#!/bin/sh\n");
  const auto notMachO = run("lipo", {"-archs", (work / "script").string()});
  EXPECT_EQ(notMachO.status, 1);
  EXPECT_EQ(notMachO.standardError,
            "fatal error: /usr/bin/lipo: can't figure out the architecture type "
            "of: " +
                (work / "script").string() + "\n");
  EXPECT_EQ(macsim({"machO", "--arch", "sparc", (work / "x").string()}).status, 2);
}

} // namespace macsim::testing

namespace macsim::testing {

TEST_F(FileToolsTest, DittoArchivesFolderContentsWithoutTheParentAndMergesCopies) {
  writeFile(work / "src/a.txt", "a");
  writeFile(work / "src/sub/b.txt", "b");
  ASSERT_EQ(
      run("ditto", {"-c", "-k", (work / "src").string(), (work / "flat.zip").string()}).status, 0);
  auto names = archiveMemberNames(readFile(work / "flat.zip"));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub/", "sub/b.txt"}));

  writeFile(work / "dst/keep.txt", "keep");
  ASSERT_EQ(run("ditto", {(work / "src").string(), (work / "dst").string()}).status, 0);
  EXPECT_EQ(readFile(work / "dst/keep.txt"), "keep");
  EXPECT_EQ(readFile(work / "dst/sub/b.txt"), "b");
  EXPECT_EQ(run("ditto", {(work / "only").string()}).status, 1);
}

} // namespace macsim::testing
