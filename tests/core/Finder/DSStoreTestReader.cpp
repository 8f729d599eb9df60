#include "DSStoreTestReader.hpp"

#include <sstream>
#include <stdexcept>

#include "support/UTF8Encoding.hpp"

namespace finder_test {

namespace {

void need(const ByteVector& bytes, std::size_t offset, std::size_t count, const char* what) {
  if (offset > bytes.size() || count > bytes.size() - offset) {
    throw std::runtime_error(std::string("truncated: ") + what);
  }
}

struct Block {
  std::size_t fileOffset;
  std::size_t size;
};

Block blockAt(const ReadFile& file, std::uint32_t number) {
  if (number >= file.blockAddresses.size()) throw std::runtime_error("no such block");
  const std::uint32_t address = file.blockAddresses[number];
  return {static_cast<std::size_t>(address & ~0x1Fu) + 4, std::size_t{1} << (address & 0x1F)};
}

} // namespace

std::uint32_t readUInt32(const ByteVector& bytes, std::size_t offset) {
  need(bytes, offset, 4, "32-bit integer");
  return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16) |
         (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

std::uint16_t readUInt16(const ByteVector& bytes, std::size_t offset) {
  need(bytes, offset, 2, "16-bit integer");
  return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

std::uint64_t readUInt64(const ByteVector& bytes, std::size_t offset) {
  return (std::uint64_t{readUInt32(bytes, offset)} << 32) | readUInt32(bytes, offset + 4);
}

ByteVector hexBytes(const std::string& text) {
  ByteVector out;
  std::istringstream in(text);
  std::string word;
  while (in >> word)
    out.push_back(static_cast<std::uint8_t>(std::stoul(word, nullptr, 16)));
  return out;
}

ByteVector textBytes(const std::string& text) {
  return ByteVector(text.begin(), text.end());
}

ReadFile readDSStore(const ByteVector& bytes) {
  ReadFile file;
  if (readUInt32(bytes, 0) != 1) throw std::runtime_error("prefix is not 1");
  need(bytes, 4, 4, "magic");
  if (std::string(bytes.begin() + 4, bytes.begin() + 8) != "Bud1") {
    throw std::runtime_error("magic is not Bud1");
  }
  file.allocatorOffset = readUInt32(bytes, 8);
  file.allocatorSize = readUInt32(bytes, 12);
  if (readUInt32(bytes, 16) != file.allocatorOffset) {
    throw std::runtime_error("the two allocator offsets differ");
  }

  std::size_t at = file.allocatorOffset + 4;
  const std::uint32_t blockCount = readUInt32(bytes, at);
  at += 8;
  for (std::uint32_t i = 0; i < blockCount; ++i)
    file.blockAddresses.push_back(readUInt32(bytes, at + 4 * i));
  // The address table always fills whole 256-slot pages.
  const std::size_t slots = (blockCount + 255) / 256 * 256;
  for (std::size_t i = blockCount; i < slots; ++i) {
    if (readUInt32(bytes, at + 4 * i) != 0) throw std::runtime_error("unused address slot is set");
  }
  at += 4 * slots;

  const std::uint32_t entries = readUInt32(bytes, at);
  at += 4;
  for (std::uint32_t i = 0; i < entries; ++i) {
    need(bytes, at, 1, "directory name length");
    const std::size_t length = bytes[at++];
    need(bytes, at, length, "directory name");
    std::string name(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    at += length;
    file.directory[name] = readUInt32(bytes, at);
    at += 4;
  }
  for (int list = 0; list < 32; ++list) {
    const std::uint32_t count = readUInt32(bytes, at);
    at += 4;
    std::vector<std::uint32_t> offsets;
    for (std::uint32_t i = 0; i < count; ++i, at += 4)
      offsets.push_back(readUInt32(bytes, at));
    file.freeLists.push_back(offsets);
  }
  if (at - (file.allocatorOffset + 4) > file.allocatorSize) {
    throw std::runtime_error("allocator information overruns its block");
  }

  if (!file.directory.count("DSDB")) throw std::runtime_error("no DSDB entry");
  const Block toc = blockAt(file, file.directory["DSDB"]);
  file.rootBlock = readUInt32(bytes, toc.fileOffset);
  file.levels = readUInt32(bytes, toc.fileOffset + 4);
  file.recordCount = readUInt32(bytes, toc.fileOffset + 8);
  file.nodeCount = readUInt32(bytes, toc.fileOffset + 12);
  file.pageSize = readUInt32(bytes, toc.fileOffset + 16);

  const Block node = blockAt(file, file.rootBlock);
  at = node.fileOffset;
  if (readUInt32(bytes, at) != 0) throw std::runtime_error("root node is not a leaf");
  const std::uint32_t count = readUInt32(bytes, at + 4);
  at += 8;
  for (std::uint32_t i = 0; i < count; ++i) {
    ReadRecord record;
    const std::uint32_t units = readUInt32(bytes, at);
    at += 4;
    for (std::uint32_t u = 0; u < units; ++u, at += 2)
      record.name += char16_t(readUInt16(bytes, at));
    record.nameUTF8 = bosun::testing::utf8FromUTF16(record.name);
    need(bytes, at, 8, "code and type");
    record.code.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
    record.type.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 4),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 8));
    at += 8;
    if (record.type == "long") {
      record.longValue = readUInt32(bytes, at);
      at += 4;
    } else if (record.type == "bool") {
      need(bytes, at, 1, "bool");
      record.boolValue = bytes[at++] != 0;
    } else if (record.type == "type") {
      need(bytes, at, 4, "type");
      record.typeValue.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                              bytes.begin() + static_cast<std::ptrdiff_t>(at + 4));
      at += 4;
    } else if (record.type == "blob") {
      const std::uint32_t length = readUInt32(bytes, at);
      at += 4;
      need(bytes, at, length, "blob");
      record.blob.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
      at += length;
    } else {
      throw std::runtime_error("unknown value type " + record.type);
    }
    file.records.push_back(std::move(record));
  }
  file.nodeLength = static_cast<std::uint32_t>(at - node.fileOffset);
  if (file.nodeLength > file.pageSize) throw std::runtime_error("node is longer than a page");
  return file;
}

} // namespace finder_test
