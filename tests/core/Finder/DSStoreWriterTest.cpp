#include <gtest/gtest.h>

#include <algorithm>

#include "DSStoreTestReader.hpp"
#include "core/Finder/BigEndianData.hpp"
#include "core/Finder/DSStoreRecord.hpp"
#include "core/Finder/DSStoreWriter.hpp"

using namespace halyard;
using namespace finder_test;

namespace {

ByteVector slice(const ByteVector& bytes, std::size_t from, std::size_t count) {
  return ByteVector(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                    bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

ByteVector concat(std::initializer_list<ByteVector> parts) {
  ByteVector out;
  for (const auto& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<std::string> namesAndCodes(const ReadFile& file) {
  std::vector<std::string> out;
  for (const auto& record : file.records)
    out.push_back(record.nameUTF8 + "/" + record.code);
  return out;
}

DSStoreRecord blobRecord(const std::string& name, std::size_t length) {
  return {name, "blob", DSStoreRecord::Blob{Bytes(length, 0xAB)}};
}

} // namespace

TEST(BigEndianData, WritesMostSignificantByteFirstWithoutAlignment) {
  BigEndianData data;
  data.appendByte(0x7F);
  data.append(std::uint32_t{0x01020304});
  data.append(std::uint64_t{0x0A0B0C0D0E0F1011});
  data.appendUInt16(0xFFFE);
  EXPECT_EQ(data.bytes, hexBytes("7F 01 02 03 04 0A 0B 0C 0D 0E 0F 10 11 FF FE"));
}

TEST(DSStoreRecord, EncodesEachValueKind) {
  EXPECT_EQ(
      (DSStoreRecord{".", "vSrn", DSStoreRecord::Long{1}}.encoded()),
      concat({hexBytes("00 00 00 01 00 2E"), textBytes("vSrnlong"), hexBytes("00 00 00 01")}));
  EXPECT_EQ((DSStoreRecord{"a", "abcd", DSStoreRecord::Bool{true}}.encoded()),
            concat({hexBytes("00 00 00 01 00 61"), textBytes("abcdbool"), hexBytes("01")}));
  EXPECT_EQ((DSStoreRecord{"a", "abcd", DSStoreRecord::Bool{false}}.encoded()).back(), 0);
  EXPECT_EQ((DSStoreRecord{".", "icvl", DSStoreRecord::Type{"icnv"}}.encoded()),
            concat({hexBytes("00 00 00 01 00 2E"), textBytes("icvltypeicnv")}));
  EXPECT_EQ((DSStoreRecord{"Ab", "Iloc", DSStoreRecord::Blob{{1, 2, 3}}}.encoded()),
            concat({hexBytes("00 00 00 02 00 41 00 62"), textBytes("Ilocblob"),
                    hexBytes("00 00 00 03 01 02 03")}));
  EXPECT_EQ((DSStoreRecord{"", "Iloc", DSStoreRecord::Blob{}}.encoded()),
            concat({hexBytes("00 00 00 00"), textBytes("Ilocblob"), hexBytes("00 00 00 00")}));
}

TEST(DSStoreRecord, NamesAreUTF16WithSurrogatePairsAndSortByLowerCaseScalars) {
  // U+1F600 is two UTF-16 code units; é (U+00E9) one.
  EXPECT_EQ((DSStoreRecord{"\xF0\x9F\x98\x80\xC3\xA9", "Iloc", DSStoreRecord::Long{0}}.encoded()),
            concat({hexBytes("00 00 00 03 D8 3D DE 00 00 E9"), textBytes("Iloclong"),
                    hexBytes("00 00 00 00")}));
  EXPECT_EQ((DSStoreRecord{"\xF0\x9F\x98\x80X", "Iloc", DSStoreRecord::Long{0}}.sortKey()),
            (std::vector<std::uint32_t>{0x1F600, 0x78}));
  // The default (not Turkish) mapping: capital I with dot above becomes i + combining dot.
  EXPECT_EQ((DSStoreRecord{"\xC4\xB0", "Iloc", DSStoreRecord::Long{0}}.sortKey()),
            (std::vector<std::uint32_t>{0x69, 0x307}));
  // Ill-formed UTF-8 stands for U+FFFD in the file and in the sort alike.
  const DSStoreRecord broken{"a\xFF", "Iloc", DSStoreRecord::Long{0}};
  EXPECT_EQ(broken.sortKey(), (std::vector<std::uint32_t>{0x61, 0xFFFD}));
  EXPECT_EQ(slice(broken.encoded(), 0, 8), hexBytes("00 00 00 02 00 61 FF FD"));
}

TEST(DSStoreWriter, SortsByNameWithoutCaseThenByCodeBytes) {
  const std::vector<DSStoreRecord> records = {
      {"Demo.app", "Iloc", DSStoreRecord::Long{1}},
      {".", "vstl", DSStoreRecord::Type{"icnv"}},
      {"Applications", "Iloc", DSStoreRecord::Long{2}},
      {".", "icvp", DSStoreRecord::Long{3}},
      {".", "vSrn", DSStoreRecord::Long{4}},
      {"b", "zzzz", DSStoreRecord::Long{5}},
      {".", "bwsp", DSStoreRecord::Long{6}},
      {"B", "aaaa", DSStoreRecord::Long{7}},
      {".", "icvl", DSStoreRecord::Type{"icnv"}},
      {"\xF0\x9F\x98\x80", "Iloc", DSStoreRecord::Long{8}}, // U+1F600
      {"\xEF\xBD\x9A", "Iloc", DSStoreRecord::Long{9}},     // U+FF5A: before U+1F600 by scalar,
                                                            // after it by UTF-16 code unit
      {"ab", "Iloc", DSStoreRecord::Long{10}},
      {"a", "Iloc", DSStoreRecord::Long{11}},
  };
  const ReadFile file = readDSStore(DSStoreWriter::data(records));
  EXPECT_EQ(
      namesAndCodes(file),
      (std::vector<std::string>{"./bwsp", "./icvl", "./icvp", "./vSrn", "./vstl", "a/Iloc",
                                "ab/Iloc", "Applications/Iloc", "B/aaaa", "b/zzzz", "Demo.app/Iloc",
                                "\xEF\xBD\x9A/Iloc", "\xF0\x9F\x98\x80/Iloc"}));
}

TEST(DSStoreWriter, EqualNamesAndCodesKeepTheirOrder) {
  const auto sorted = DSStoreWriter::sorted({{"X", "Iloc", DSStoreRecord::Long{1}},
                                             {"a", "Iloc", DSStoreRecord::Long{2}},
                                             {"x", "Iloc", DSStoreRecord::Long{3}},
                                             {"X", "Iloc", DSStoreRecord::Long{4}}});
  std::vector<std::uint32_t> values;
  for (const auto& record : sorted)
    values.push_back(std::get<DSStoreRecord::Long>(record.value).value);
  EXPECT_EQ(values, (std::vector<std::uint32_t>{2, 1, 3, 4}));
}

TEST(DSStoreWriter, FixedPartsOfTheContainerMatchTheFileMap) {
  const Bytes file = DSStoreWriter::data({{".", "vSrn", DSStoreRecord::Long{1}}});
  ASSERT_EQ(file.size(), 16388u);

  // Header: prefix 1, "Bud1", allocator offset, size, offset, then the 16 fixed bytes.
  EXPECT_EQ(slice(file, 0, 36),
            concat({hexBytes("00 00 00 01"), textBytes("Bud1"),
                    hexBytes("00 00 08 00 00 00 08 00 00 00 08 00 00 00 10 0C 00 00 00 87 "
                             "00 00 20 0B 00 00 00 00")}));
  // Table of contents at 32 + 4: root block 2, no levels, 1 record, 1 node, 4,096-byte pages.
  EXPECT_EQ(slice(file, 36, 20),
            hexBytes("00 00 00 02 00 00 00 00 00 00 00 01 00 00 00 01 00 00 10 00"));

  // Allocator information at 2048 + 4: 3 blocks, their addresses, then zeros to 256 slots.
  EXPECT_EQ(slice(file, 2052, 20), hexBytes("00 00 00 03 00 00 00 00 00 00 08 0B 00 00 00 25 "
                                            "00 00 20 0D"));
  EXPECT_TRUE(std::all_of(file.begin() + 2072, file.begin() + 3084, [](auto b) { return b == 0; }));
  // Directory at 2052 + 8 + 1024: one entry, "DSDB" -> block 1.
  EXPECT_EQ(slice(file, 3084, 13),
            concat({hexBytes("00 00 00 01 04"), textBytes("DSDB"), hexBytes("00 00 00 01")}));
  // Free lists: 2^0..2^5 empty, then 2^6..2^10 each one block at its own size.
  EXPECT_EQ(slice(file, 3097, 24), ByteVector(24, 0));
  EXPECT_EQ(slice(file, 3121, 8), hexBytes("00 00 00 01 00 00 00 40"));
  EXPECT_EQ(slice(file, 3153, 8), hexBytes("00 00 00 01 00 00 04 00")); // 2^10
  EXPECT_EQ(slice(file, 3161, 4), hexBytes("00 00 00 00"));             // 2^11
  EXPECT_EQ(slice(file, 3165, 8), hexBytes("00 00 00 01 00 00 10 00")); // 2^12
  EXPECT_EQ(slice(file, 3173, 4), hexBytes("00 00 00 00"));             // 2^13
  EXPECT_EQ(slice(file, 3305, 8), hexBytes("00 00 00 01 40 00 00 00")); // 2^30
  EXPECT_EQ(slice(file, 3313, 4), hexBytes("00 00 00 00"));             // 2^31, last byte 3316
  EXPECT_TRUE(std::all_of(file.begin() + 3317, file.begin() + 8196, [](auto b) { return b == 0; }));

  // The leaf node at 8192 + 4: no child, 1 record, the record.
  EXPECT_EQ(slice(file, 8196, 26), concat({hexBytes("00 00 00 00 00 00 00 01 00 00 00 01 00 2E"),
                                           textBytes("vSrnlong"), hexBytes("00 00 00 01")}));
  EXPECT_TRUE(std::all_of(file.begin() + 8222, file.end(), [](auto b) { return b == 0; }));
  EXPECT_TRUE(std::all_of(file.begin() + 56, file.begin() + 2052, [](auto b) { return b == 0; }));
}

// The fixed parts are pinned byte for byte above; here the reader follows the file's own pointers
// to several records of different kinds.
TEST(DSStoreWriter, ReaderFollowsThePointersToEveryRecord) {
  const ReadFile file = readDSStore(DSStoreWriter::data({
      {"a", "flag", DSStoreRecord::Bool{true}},
      {"a", "glag", DSStoreRecord::Long{0xDEADBEEF}},
      {"b", "blob", DSStoreRecord::Blob{{9, 8, 7}}},
  }));
  // The free lists the byte checks above do not spell out, each at its own size.
  for (int i = 0; i < 32; ++i) {
    const bool free = (i >= 6 && i <= 10) || i == 12 || (i >= 14 && i <= 30);
    EXPECT_EQ(file.freeLists[i], free ? std::vector<std::uint32_t>{std::uint32_t{1} << i}
                                      : std::vector<std::uint32_t>{})
        << "size 2^" << i;
  }
  EXPECT_EQ(file.recordCount, 3u);
  // The bool takes one byte and the next record follows it directly.
  EXPECT_EQ(file.nodeLength, 8u + 15u + 18u + 21u);
  ASSERT_EQ(file.records.size(), 3u);
  EXPECT_TRUE(file.records[0].boolValue);
  EXPECT_EQ(file.records[1].longValue, 0xDEADBEEFu);
  EXPECT_EQ(file.records[2].blob, (ByteVector{9, 8, 7}));
}

TEST(DSStoreWriter, EmptyListGivesAnEmptyLeaf) {
  const Bytes file = DSStoreWriter::data({});
  ASSERT_EQ(file.size(), 16388u);
  const ReadFile read = readDSStore(file);
  EXPECT_EQ(read.recordCount, 0u);
  EXPECT_EQ(read.nodeLength, 8u);
  EXPECT_TRUE(std::all_of(file.begin() + 8196, file.end(), [](auto b) { return b == 0; }));
}

TEST(DSStoreWriter, NodeOfExactlyOnePageFitsAndOneByteMoreDoesNot) {
  // Node: 8 bytes + record (name "a": 4 + 2, code 4, tag 4, length 4, data) = 26 + data.
  const Bytes file = DSStoreWriter::data({blobRecord("a", 4096 - 26)});
  EXPECT_EQ(readDSStore(file).nodeLength, 4096u);
  EXPECT_EQ(file[8196 + 4095], 0xAB);
  EXPECT_EQ(file[8196 + 4096], 0);

  try {
    DSStoreWriter::data({blobRecord("a", 4096 - 26 + 1)});
    FAIL() << "no failure";
  } catch (const DSStoreWriter::Failure& failure) {
    EXPECT_EQ(failure.kind(), DSStoreWriter::Failure::Kind::tooManyRecords);
    EXPECT_STREQ(failure.what(),
                 "The Finder layout has more data than a single .DS_Store page can hold.");
    EXPECT_TRUE(failure == DSStoreWriter::Failure(DSStoreWriter::Failure::Kind::tooManyRecords));
  }
  // Many small records overflow just the same.
  std::vector<DSStoreRecord> many(300, {".", "vSrn", DSStoreRecord::Long{1}});
  EXPECT_THROW(DSStoreWriter::data(many), DSStoreWriter::Failure);
}

TEST(DSStoreWriter, PlaceCountsFromAfterThePrefixAndNeverGrowsTheFile) {
  Bytes file(16, 0);
  DSStoreWriter::place({1, 2}, 2, file);
  EXPECT_EQ(file, hexBytes("00 00 00 00 00 00 01 02 00 00 00 00 00 00 00 00"));
  DSStoreWriter::place({3, 4}, 10, file);
  EXPECT_EQ(file.size(), 16u);
  EXPECT_EQ(file[15], 4);
  EXPECT_THROW(DSStoreWriter::place({5, 6}, 11, file), std::out_of_range);
  EXPECT_THROW(DSStoreWriter::place({}, 13, file), std::out_of_range);
}
