#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "DSStoreTestReader.hpp"
#include "core/Finder/DSStoreReader.hpp"
#include "core/Finder/FinderLayoutFile.hpp"
#include "core/Finder/FinderWindowLayout.hpp"

using namespace halyard;
using namespace finder_test;
namespace fs = std::filesystem;

namespace {

ByteVector goldenFile(const char* name) {
  std::ifstream in(fs::path(TEST_DATA_DIR) / "finder" / name, std::ios::binary);
  return ByteVector((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

ByteVector operator+(ByteVector a, const ByteVector& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

ByteVector number(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

// A record: UTF-16 name length and units (ASCII names here), code, type, value bytes.
ByteVector record(const std::string& name, const std::string& code, const std::string& type,
                  const ByteVector& value) {
  ByteVector out = number(static_cast<std::uint32_t>(name.size()));
  for (const char c : name)
    out = out + ByteVector{0, static_cast<std::uint8_t>(c)};
  return out + textBytes(code) + textBytes(type) + value;
}

// A container whose blocks 2, 3, ... are the given nodes, each a 4,096-byte block at offset
// 4,096 × (its number − 1); block 0 is the allocator information (2,048 bytes at 1,024), block 1
// the table of contents at 32, whose root is block 2.
ByteVector container(const std::vector<ByteVector>& nodes) {
  ByteVector file(4 + 4096 * (nodes.size() + 1), 0);
  const auto put = [&](std::size_t offset, const ByteVector& bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(offset + 4));
  };
  const ByteVector header =
      number(1) + textBytes("Bud1") + number(1024) + number(2048) + number(1024);
  std::copy(header.begin(), header.end(), file.begin());
  put(32, number(2) + number(1) + number(3) + number(static_cast<std::uint32_t>(nodes.size())) +
              number(4096));
  ByteVector allocator = number(static_cast<std::uint32_t>(nodes.size() + 2)) + number(0) +
                         number(1024 | 11) + number(32 | 5);
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    allocator = allocator + number(static_cast<std::uint32_t>(4096 * (i + 1)) | 12);
    put(4096 * (i + 1), nodes[i]);
  }
  allocator.resize(8 + 256 * 4, 0);
  put(1024, allocator + number(1) + ByteVector{4} + textBytes("DSDB") + number(1));
  return file;
}

} // namespace

// A two-level tree (a root with a child on each side of its one record) holding every value kind
// a Finder writes: the records come back in tree order, those of the kinds the writer knows with
// their values, the others read past.
TEST(DSStoreReader, ReadsEveryNodeAndValueKind) {
  const ByteVector left =
      number(0) + number(3) + record(".", "icvt", "shor", number(12)) +
      record(".", "ICVO", "bool", {1}) +
      record("Applications", "Iloc", "blob", number(8) + number(500) + number(200));
  const ByteVector root =
      number(4) + number(1) + number(3) +
      record("MyApp.app", "Iloc", "blob", number(8) + number(100) + number(200));
  const ByteVector right =
      number(0) + number(3) +
      record("Read Me", "cmmt", "ustr", number(2) + textBytes(std::string("\0h\0i", 4))) +
      record("Read Me", "moDD", "dutc", ByteVector(8, 7)) +
      record("Zeta", "lg1S", "type", textBytes("icnv"));
  const auto records = DSStoreReader::read(container({root, left, right}));
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0], (DSStoreRecord{".", "icvt", DSStoreRecord::Long{12}}));
  EXPECT_EQ(records[1], (DSStoreRecord{".", "ICVO", DSStoreRecord::Bool{true}}));
  EXPECT_EQ(records[2].filename, "Applications");
  EXPECT_EQ(records[3].filename, "MyApp.app");
  EXPECT_EQ(records[4], (DSStoreRecord{"Zeta", "lg1S", DSStoreRecord::Type{"icnv"}}));
  const auto layout = FinderWindowLayout::fromRecords(records);
  EXPECT_EQ(layout.iconPositions.at("Applications").x, 500);
  EXPECT_EQ(layout.iconPositions.at("MyApp.app").y, 200);
}

// The layout files bosun writes read back as the values they were written from.
TEST(DSStoreReader, TheWritersGoldenFilesReadBackAsTheirLayout) {
  const auto plain =
      FinderWindowLayout::fromRecords(DSStoreReader::read(goldenFile("plain-660x400.DS_Store")));
  EXPECT_EQ(plain.windowSize->width, 660);
  EXPECT_EQ(plain.windowSize->height, 400);
  EXPECT_EQ(plain.iconSize, 72);
  EXPECT_EQ(plain.textSize, 12);
  EXPECT_EQ(plain.background, FinderWindowLayout::Background::none);
  EXPECT_EQ(plain.iconPositions.at("Demo.app").x, 160);
  EXPECT_EQ(plain.iconPositions.at("Applications").y, 205);

  const auto designed = FinderWindowLayout::fromRecords(
      DSStoreReader::read(goldenFile("background-1600x1000.DS_Store")));
  EXPECT_EQ(designed.windowSize->width, 1600);
  EXPECT_EQ(designed.iconSize, 144);
  EXPECT_EQ(designed.background, FinderWindowLayout::Background::picture);
  ASSERT_TRUE(designed.backgroundAlias);
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(*designed.backgroundAlias),
            ".support/background.png");
  EXPECT_EQ(designed.iconPositions.at("Applications").x, 1050);
}

// Damaged and hostile files are refused with the reader's finding, never a crash or a hang.
TEST(DSStoreReader, MalformedFilesAndOutOfRangeValuesAreFindings) {
  const ByteVector good = goldenFile("plain-660x400.DS_Store");
  const auto with = [&](std::size_t at, const ByteVector& bytes) {
    ByteVector changed = good;
    std::copy(bytes.begin(), bytes.end(), changed.begin() + static_cast<long>(at));
    return changed;
  };
  struct Case {
    const char* name;
    ByteVector file;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "the header is cut short"},
      {"truncated in the node", ByteVector(good.begin(), good.begin() + 8300), "cut short"},
      {"other magic", with(4, textBytes("Bud2")), "does not begin like"},
      {"allocator beyond the end", with(8, hexBytes("7F FF FF 00")), "header is inconsistent"},
      {"no DSDB entry", with(2052 + 8 + 1024 + 5, textBytes("XXXX")), "no \"DSDB\""},
      // The leaf made an internal node whose first child is the table of contents block.
      {"node loop", with(8196, number(2)), ""},
      {"name length", with(8204, hexBytes("FF FF FF FF")), "name is too long"},
      {"unknown value type", with(8214, textBytes("xxxx")), "unknown value type \"xxxx\""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    try {
      DSStoreReader::read(test.file);
      ADD_FAILURE() << "read without complaint";
    } catch (const DSStoreReader::Failure& failure) {
      const std::string message = failure.what();
      EXPECT_EQ(message.rfind("The .DS_Store file is malformed: ", 0), 0u) << message;
      EXPECT_NE(message.find(test.reason), std::string::npos) << message;
    }
  }

  using Blob = DSStoreRecord::Blob;
  const std::vector<std::vector<DSStoreRecord>> outOfRange{
      {{".", "bwsp", Blob{FinderLayoutFile::windowSettings({0.5, 400})}}},
      {{".", "bwsp", Blob{FinderLayoutFile::windowSettings({20000, 400})}}},
      {{".", "icvp", Blob{FinderLayoutFile::iconViewSettings({100000, 100000}, std::nullopt)}}},
      {{".", "icvp", Blob{textBytes("not a property list")}}},
      {{"MyApp.app", "Iloc", Blob{hexBytes("00 00 00 01")}}},
  };
  for (const auto& records : outOfRange)
    EXPECT_THROW(FinderWindowLayout::fromRecords(records), DSStoreReader::Failure);
}

TEST(DSStoreReader, AliasPathsStayInsideTheVolume) {
  // 150 bytes of fixed part (version 2 at offset 6), then tagged fields and the end marker.
  const auto alias = [](const std::vector<std::pair<std::uint16_t, std::string>>& tags,
                        std::uint16_t version = 2) {
    ByteVector out(150, 0);
    out[7] = static_cast<std::uint8_t>(version);
    for (const auto& [tag, data] : tags) {
      out = out +
            ByteVector{static_cast<std::uint8_t>(tag >> 8), static_cast<std::uint8_t>(tag), 0,
                       static_cast<std::uint8_t>(data.size())} +
            textBytes(data);
      if (data.size() % 2 == 1) out.push_back(0);
    }
    return out + hexBytes("FF FF 00 00");
  };
  using Tags = std::vector<std::pair<std::uint16_t, std::string>>;
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(
                alias(Tags{{0, "abc"}, {2, "Demo:.support:bg.png"}, {18, "/.background/a.png"}})),
            ".background/a.png");
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(alias(Tags{{2, "Demo:.support:a/b.png"}})),
            ".support/a:b.png");
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(alias(Tags{{18, "/../etc/passwd"}})),
            std::nullopt);
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(alias(Tags{{18, "/x.png"}}, 3)), std::nullopt);
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(alias(Tags{})), std::nullopt);
  // A field longer than the record is not read.
  ByteVector cut = alias(Tags{{18, "/.background/a.png"}});
  cut.resize(160);
  EXPECT_EQ(FinderWindowLayout::aliasRelativePath(cut), std::nullopt);
}
