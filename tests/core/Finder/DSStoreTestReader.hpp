#pragma once

// An independent reader of .DS_Store containers for the tests: it follows the pointers of the
// file (header -> allocator information -> "DSDB" directory entry -> table of contents -> root
// node) instead of assuming where the writer put things, and decodes every record.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace finder_test {

using ByteVector = std::vector<std::uint8_t>;

struct ReadRecord {
  std::u16string name;
  std::string nameUTF8;
  std::string code;
  std::string type;
  std::uint32_t longValue = 0;
  bool boolValue = false;
  std::string typeValue;
  ByteVector blob;
};

struct ReadFile {
  std::uint32_t allocatorOffset = 0;
  std::uint32_t allocatorSize = 0;
  std::vector<std::uint32_t> blockAddresses;
  std::map<std::string, std::uint32_t> directory;
  std::vector<std::vector<std::uint32_t>> freeLists; // 32 lists, index = log2 of the size
  std::uint32_t rootBlock = 0;
  std::uint32_t levels = 0;
  std::uint32_t recordCount = 0;
  std::uint32_t nodeCount = 0;
  std::uint32_t pageSize = 0;
  std::uint32_t nodeLength = 0; // bytes the leaf node's records take, header included
  std::vector<ReadRecord> records;
};

// Throws std::runtime_error naming what is malformed.
ReadFile readDSStore(const ByteVector& file);

std::uint32_t readUInt32(const ByteVector& bytes, std::size_t offset);
std::uint16_t readUInt16(const ByteVector& bytes, std::size_t offset);
std::uint64_t readUInt64(const ByteVector& bytes, std::size_t offset);

// "00 0A FF" style, for readable failure messages and for writing expected bytes.
ByteVector hexBytes(const std::string& text);

// The bytes of an ASCII or UTF-8 string literal.
ByteVector textBytes(const std::string& text);

} // namespace finder_test
