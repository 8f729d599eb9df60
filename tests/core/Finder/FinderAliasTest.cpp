#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "DSStoreTestReader.hpp"
#include "core/Finder/FinderAlias.hpp"

using namespace halyard;
using namespace finder_test;
namespace fs = std::filesystem;

namespace {

// Creation times (seconds since 1970) and file numbers by path; anything missing is unknown.
struct FakeVolume {
  std::map<std::string, std::int64_t> created;
  std::map<std::string, std::uint64_t> numbers;

  FileFacts facts() const {
    FileFacts facts;
    facts.creationTime = [this](const fs::path& path) -> std::optional<Platform::FileTime> {
      auto found = created.find(path.string());
      if (found == created.end()) return std::nullopt;
      return Platform::FileTime{found->second, 999999999};
    };
    facts.fileNumber = [this](const fs::path& path) -> std::optional<std::uint64_t> {
      auto found = numbers.find(path.string());
      if (found == numbers.end()) return std::nullopt;
      return found->second;
    };
    return facts;
  }
};

// The Demo volume at /Volumes/Demo with its background picture in ".support".
FakeVolume demoVolume() {
  FakeVolume volume;
  volume.created = {{"/Volumes/Demo", 1700000000},
                    {"/Volumes/Demo/.support/background.png", 1700000123},
                    {"/Volumes/Demo/background.png", 1700000123}};
  volume.numbers = {{"/Volumes/Demo", 2},
                    {"/Volumes/Demo/.support", 0x100000012}, // only the low 32 bits count
                    {"/Volumes/Demo/.support/background.png", 19},
                    {"/Volumes/Demo/background.png", 20}};
  return volume;
}

// 1700000000 + 2082844800 = 3782844800 = 0xE179A180; + 123 s = 0xE179A1FB.
constexpr std::uint32_t volumeMacTime = 0xE179A180;
constexpr std::uint32_t fileMacTime = 0xE179A1FB;

struct Tag {
  std::uint16_t tag;
  ByteVector data;
  std::size_t offset;
};

// Walks the tagged fields from offset 150, checking each pad byte on the way.
std::vector<Tag> tags(const ByteVector& record) {
  std::vector<Tag> out;
  std::size_t at = 150;
  while (true) {
    const std::uint16_t tag = readUInt16(record, at);
    const std::uint16_t length = readUInt16(record, at + 2);
    out.push_back({tag,
                   ByteVector(record.begin() + static_cast<std::ptrdiff_t>(at + 4),
                              record.begin() + static_cast<std::ptrdiff_t>(at + 4 + length)),
                   at});
    at += 4 + length;
    if (length % 2 == 1) {
      EXPECT_EQ(record.at(at), 0) << "pad byte after tag " << tag;
      ++at;
    }
    if (tag == 0xFFFF) break;
  }
  EXPECT_EQ(at, record.size()) << "bytes after the end marker";
  return out;
}

const Tag& tagged(const std::vector<Tag>& all, std::uint16_t tag) {
  for (const auto& field : all) {
    if (field.tag == tag) return field;
  }
  throw std::runtime_error("tag missing: " + std::to_string(tag));
}

std::vector<std::uint16_t> tagOrder(const std::vector<Tag>& all) {
  std::vector<std::uint16_t> out;
  for (const auto& field : all)
    out.push_back(field.tag);
  return out;
}

// A padded length-prefixed string field as written at `offset`.
std::string pascalAt(const ByteVector& record, std::size_t offset) {
  return std::string(record.begin() + static_cast<std::ptrdiff_t>(offset + 1),
                     record.begin() + static_cast<std::ptrdiff_t>(offset + 1 + record[offset]));
}

ByteVector utf16Field(const std::u16string& text) {
  ByteVector out{static_cast<std::uint8_t>(text.size() >> 8),
                 static_cast<std::uint8_t>(text.size())};
  for (char16_t unit : text) {
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
    out.push_back(static_cast<std::uint8_t>(unit));
  }
  return out;
}

} // namespace

TEST(FinderAlias, BackgroundInASubfolderDecodedByOffset) {
  const FakeVolume volume = demoVolume();
  const Bytes record = FinderAlias::data("/Volumes/Demo/.support/background.png", "/Volumes/Demo",
                                         "Demo", volume.facts());

  // Length by hand: 150 fixed; tag 0 ".support" 4+8; tags 16, 17 4+8 each; tag 1 4+4;
  // tag 2 "Demo:.support:background.png" 4+28; tag 14 4+2+28; tag 15 4+2+8;
  // tag 18 "/.support/background.png" 4+24; tag 19 "/Volumes/Demo" 4+13+1 pad; end 4.
  ASSERT_EQ(record.size(), 324u);
  EXPECT_EQ(readUInt16(record, 4), 324u);
  EXPECT_EQ(readUInt32(record, 0), 0u);
  EXPECT_EQ(readUInt16(record, 6), 2u);
  EXPECT_EQ(readUInt16(record, 8), 0u);
  EXPECT_EQ(record[10], 4);
  EXPECT_EQ(pascalAt(record, 10), "Demo");
  EXPECT_EQ(ByteVector(record.begin() + 15, record.begin() + 38), ByteVector(23, 0));
  EXPECT_EQ(readUInt32(record, 38), volumeMacTime);
  EXPECT_EQ(record[42], 'H');
  EXPECT_EQ(record[43], '+');
  EXPECT_EQ(readUInt16(record, 44), 0u);
  EXPECT_EQ(readUInt32(record, 46), 0x12u); // the ".support" folder
  EXPECT_EQ(pascalAt(record, 50), "background.png");
  EXPECT_EQ(ByteVector(record.begin() + 65, record.begin() + 114), ByteVector(49, 0));
  EXPECT_EQ(readUInt32(record, 114), 19u);
  EXPECT_EQ(readUInt32(record, 118), fileMacTime);
  EXPECT_EQ(ByteVector(record.begin() + 122, record.begin() + 150),
            hexBytes("00 00 00 00 00 00 00 00 FF FF FF FF 00 00 00 00 00 00 "
                     "00 00 00 00 00 00 00 00 00 00"));

  const auto fields = tags(record);
  EXPECT_EQ(tagOrder(fields),
            (std::vector<std::uint16_t>{0, 16, 17, 1, 2, 14, 15, 18, 19, 0xFFFF}));
  EXPECT_EQ(tagged(fields, 0).data, textBytes(".support"));
  EXPECT_EQ(tagged(fields, 0).offset, 150u);
  EXPECT_EQ(tagged(fields, 16).data, hexBytes("00 00 E1 79 A1 80 00 00"));
  EXPECT_EQ(tagged(fields, 17).data, hexBytes("00 00 E1 79 A1 FB 00 00"));
  EXPECT_EQ(tagged(fields, 1).data, hexBytes("00 00 00 12"));
  EXPECT_EQ(tagged(fields, 2).data, textBytes("Demo:.support:background.png"));
  EXPECT_EQ(tagged(fields, 14).data, utf16Field(u"background.png"));
  EXPECT_EQ(tagged(fields, 15).data, utf16Field(u"Demo"));
  EXPECT_EQ(tagged(fields, 18).data, textBytes("/.support/background.png"));
  EXPECT_EQ(tagged(fields, 19).data, textBytes("/Volumes/Demo"));
  EXPECT_EQ(ByteVector(record.end() - 4, record.end()), hexBytes("FF FF 00 00"));
}

TEST(FinderAlias, FileInTheVolumeRootHasNoFolderList) {
  const FakeVolume volume = demoVolume();
  // A trailing "/" on the volume and a "." inside the file path change nothing.
  const Bytes record =
      FinderAlias::data("/Volumes/Demo/./background.png", "/Volumes/Demo/", "Demo", volume.facts());
  EXPECT_EQ(readUInt32(record, 46), 2u); // the root folder
  EXPECT_EQ(readUInt32(record, 114), 20u);
  const auto fields = tags(record);
  EXPECT_EQ(tagOrder(fields), (std::vector<std::uint16_t>{0, 16, 17, 2, 14, 15, 18, 19, 0xFFFF}));
  EXPECT_EQ(tagged(fields, 0).data, textBytes("Demo"));
  EXPECT_EQ(tagged(fields, 2).data, textBytes("Demo:background.png"));
  EXPECT_EQ(tagged(fields, 18).data, textBytes("/background.png"));
  EXPECT_EQ(readUInt16(record, 4), record.size());
}

TEST(FinderAlias, ColonsBecomeSlashesInHFSNamesOnly) {
  FakeVolume volume;
  volume.created = {{"/Volumes/My:Disk", 0}, {"/Volumes/My:Disk/a:b.png", 0}};
  volume.numbers = {{"/Volumes/My:Disk", 2}, {"/Volumes/My:Disk/a:b.png", 3}};
  const Bytes record =
      FinderAlias::data("/Volumes/My:Disk/a:b.png", "/Volumes/My:Disk", "My:Disk", volume.facts());
  EXPECT_EQ(pascalAt(record, 10), "My/Disk");
  EXPECT_EQ(pascalAt(record, 50), "a/b.png");
  const auto fields = tags(record);
  EXPECT_EQ(tagged(fields, 0).data, textBytes("My/Disk"));
  EXPECT_EQ(tagged(fields, 2).data, textBytes("My/Disk:a/b.png"));
  EXPECT_EQ(tagged(fields, 14).data, utf16Field(u"a/b.png"));
  EXPECT_EQ(tagged(fields, 15).data, utf16Field(u"My/Disk"));
  EXPECT_EQ(tagged(fields, 18).data, textBytes("/a:b.png"));
  EXPECT_EQ(tagged(fields, 19).data, textBytes("/Volumes/My:Disk"));
  // Epoch 1970 is 2,082,844,800 s after 1904: 0x7C25B080.
  EXPECT_EQ(readUInt32(record, 38), 0x7C25B080u);
}

TEST(FinderAlias, LongNamesAreCutInTheFixedPartOnly) {
  // 15 x "é" is 30 UTF-8 bytes: the 28-byte field keeps 27 of them, ending inside a character.
  std::string longName;
  for (int i = 0; i < 15; ++i)
    longName += "\xC3\xA9";
  const std::string longFile(70, 'f');
  FakeVolume volume;
  volume.created = {{"/Volumes/V", 0}, {"/Volumes/V/" + longFile, 0}};
  volume.numbers = {{"/Volumes/V", 2}, {"/Volumes/V/" + longFile, 3}};
  const Bytes record =
      FinderAlias::data("/Volumes/V/" + longFile, "/Volumes/V", longName, volume.facts());
  EXPECT_EQ(record[10], 27);
  EXPECT_EQ(record[37], 0xC3);
  EXPECT_EQ(pascalAt(record, 10), longName.substr(0, 27));
  EXPECT_EQ(record[50], 63);
  EXPECT_EQ(pascalAt(record, 50), std::string(63, 'f'));
  EXPECT_EQ(readUInt32(record, 114), 3u); // the fields after stay at their offsets
  const auto fields = tags(record);
  EXPECT_EQ(tagged(fields, 15).data, utf16Field(std::u16string(15, u'\u00E9')));
  EXPECT_EQ(tagged(fields, 14).data.size(), 2u + 140u);
}

TEST(FinderAlias, RefusalsNameTheFirstMissingFactOrTheFileOutsideTheVolume) {
  const std::string picture = "/Volumes/Demo/.support/background.png";
  // The Demo volume without those creation times and file numbers.
  const auto without = [](std::vector<std::string> dates, std::vector<std::string> numbers) {
    FakeVolume volume = demoVolume();
    for (const auto& path : dates)
      volume.created.erase(path);
    for (const auto& path : numbers)
      volume.numbers.erase(path);
    return volume;
  };
  FakeVolume beside = demoVolume(); // with the facts of a neighbour of the volume
  beside.created["/Volumes/Demo2/x"] = 0;
  beside.numbers.insert({{"/Volumes/Demo2/x", 3}, {"/Volumes/Demo2", 4}, {"/Volumes", 1}});
  const std::string unreadable = "Could not read file details for ";
  const std::string outside = "The file is not inside the volume it should be found on: ";
  using Kind = FinderAlias::Failure::Kind;
  const struct {
    FakeVolume volume;
    std::string file;
    Kind kind;
    std::string message;
  } cases[] = {
      // The facts are read in order: the volume's date, the file's, then the folder's number.
      {without({"/Volumes/Demo", picture}, {}), picture, Kind::unreadable,
       unreadable + "/Volumes/Demo"},
      {without({picture}, {picture, "/Volumes/Demo/.support"}), picture, Kind::unreadable,
       unreadable + picture},
      {without({}, {"/Volumes/Demo/.support"}), picture, Kind::unreadable,
       unreadable + "/Volumes/Demo/.support"},
      // A name that merely starts with the volume's path is not inside it; nor is the volume.
      {beside, "/Volumes/Demo2/x", Kind::notInsideVolume, outside + "/Volumes/Demo2/x"},
      {beside, "/Volumes/Demo", Kind::notInsideVolume, outside + "/Volumes/Demo"},
  };
  for (const auto& test : cases) {
    try {
      FinderAlias::data(test.file, "/Volumes/Demo", "Demo", test.volume.facts());
      ADD_FAILURE() << "no failure: " << test.message;
    } catch (const FinderAlias::Failure& error) {
      EXPECT_EQ(error.kind(), test.kind) << test.message;
      EXPECT_STREQ(error.what(), test.message.c_str());
    }
  }
}

TEST(FinderAlias, FieldsLongerThanTheirLengthCanSayAreRefused) {
  BigEndianData out;
  EXPECT_NO_THROW(FinderAlias::appendTag(out, 2, std::string(65535, 'x')));
  EXPECT_EQ(out.size(), 4u + 65535u + 1u);
  EXPECT_THROW(FinderAlias::appendTag(out, 2, std::string(65536, 'x')), FinderAlias::Failure);
  EXPECT_NO_THROW(FinderAlias::appendUnicodeTag(out, 14, std::string(32766, 'x')));
  EXPECT_THROW(FinderAlias::appendUnicodeTag(out, 14, std::string(32767, 'x')),
               FinderAlias::Failure);
}

TEST(FinderAlias, PlatformErrorsAndMissingBirthTimesReachTheCaller) {
  // procfs keeps no birth times.
  if (fs::exists("/proc/self/status") && !Platform::creationTime("/proc")) {
    try {
      FinderAlias::data("/proc/self/status", "/proc", "proc");
      FAIL() << "no failure";
    } catch (const FinderAlias::Failure& error) {
      EXPECT_STREQ(error.what(), "Could not read file details for /proc");
    }
  }
  try {
    FinderAlias::data("/nonexistent-volume/x.png", "/nonexistent-volume", "V");
    FAIL() << "no failure";
  } catch (const FinderAlias::Failure&) {
    FAIL() << "a platform error must pass through unchanged";
  } catch (const Error& error) {
    EXPECT_EQ(error.domain(), "Halyard.platform");
    EXPECT_EQ(error.code(), ENOENT);
  }
}
