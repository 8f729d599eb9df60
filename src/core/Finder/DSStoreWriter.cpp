#include "core/Finder/DSStoreWriter.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace halyard::DSStoreWriter {

namespace {

constexpr std::uint32_t rootNodeBlock = 2;
constexpr std::uint32_t tableOfContentsBlock = 1;

// A block address: the offset in the high bits, log2 of the size in the low five bits.
constexpr std::uint32_t address(std::uint32_t offset, std::uint32_t log2Size) {
  return offset | log2Size;
}

// The 2^31-byte address space is halved from offset 0 down to 32 bytes; each halving leaves its
// upper buddy, size 2^i at offset 2^i, free. Three of them are in use: 2^5 holds the table of
// contents, 2^11 the allocator information and 2^13 the leaf node. The lowest 32 bytes hold
// the file header and are never split further.
bool hasFreeBlock(int log2Size) {
  return (log2Size >= 6 && log2Size <= 10) || log2Size == 12 || (log2Size >= 14 && log2Size <= 30);
}

} // namespace

Failure::Failure(Kind kind)
    : Error("Halyard.DSStoreWriter", static_cast<int>(kind) + 1,
            "The Finder layout has more data than a single .DS_Store page can hold."),
      kind_(kind) {}

std::vector<DSStoreRecord> sorted(std::vector<DSStoreRecord> records) {
  std::vector<std::pair<std::vector<std::uint32_t>, std::size_t>> keys;
  keys.reserve(records.size());
  for (std::size_t i = 0; i < records.size(); ++i)
    keys.emplace_back(records[i].sortKey(), i);

  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    // std::string compares its bytes as unsigned char.
    return records[a.second].code < records[b.second].code;
  });

  std::vector<DSStoreRecord> result;
  result.reserve(records.size());
  for (const auto& key : keys)
    result.push_back(std::move(records[key.second]));
  return result;
}

Bytes header() {
  BigEndianData out;
  out.append(std::uint32_t{1});
  out.appendBytes("Bud1");
  out.append(static_cast<std::uint32_t>(allocatorOffset));
  out.append(std::uint32_t{2048});
  out.append(static_cast<std::uint32_t>(allocatorOffset));
  out.appendBytes(Bytes{0x00, 0x00, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x87, 0x00, 0x00, 0x20, 0x0B,
                        0x00, 0x00, 0x00, 0x00});
  return std::move(out.bytes);
}

Bytes tableOfContents(std::uint32_t recordCount) {
  BigEndianData out;
  out.append(rootNodeBlock);
  out.append(std::uint32_t{0}); // levels above the leaves
  out.append(recordCount);
  out.append(std::uint32_t{1}); // nodes
  out.append(static_cast<std::uint32_t>(pageSize));
  return std::move(out.bytes);
}

Bytes allocatorBlock() {
  BigEndianData out;
  out.append(std::uint32_t{3}); // allocated blocks
  out.append(std::uint32_t{0});
  out.append(address(static_cast<std::uint32_t>(allocatorOffset), 11));
  out.append(address(static_cast<std::uint32_t>(tableOfContentsOffset), 5));
  out.append(address(static_cast<std::uint32_t>(leafNodeOffset), 13));
  out.appendZeros((256 - 3) * 4);

  out.append(std::uint32_t{1}); // directory entries
  out.appendByte(4);
  out.appendBytes("DSDB");
  out.append(tableOfContentsBlock);

  for (int i = 0; i < 32; ++i) {
    if (hasFreeBlock(i)) {
      out.append(std::uint32_t{1});
      out.append(std::uint32_t{1} << i);
    } else {
      out.append(std::uint32_t{0});
    }
  }
  return std::move(out.bytes);
}

void place(const Bytes& block, std::size_t offset, Bytes& file) {
  const std::size_t start = offset + 4;
  if (start > file.size() || block.size() > file.size() - start) {
    throw std::out_of_range("block does not fit in the .DS_Store container");
  }
  std::copy(block.begin(), block.end(), file.begin() + static_cast<std::ptrdiff_t>(start));
}

Bytes data(std::vector<DSStoreRecord> records) {
  records = sorted(std::move(records));

  BigEndianData node;
  node.append(std::uint32_t{0}); // no child pointer: a leaf
  node.append(static_cast<std::uint32_t>(records.size()));
  for (const auto& record : records) {
    node.appendBytes(record.encoded());
    if (node.size() > pageSize) throw Failure(Failure::Kind::tooManyRecords);
  }

  Bytes file(fileSize, 0);
  const Bytes head = header();
  std::copy(head.begin(), head.end(), file.begin());
  place(allocatorBlock(), allocatorOffset, file);
  place(tableOfContents(static_cast<std::uint32_t>(records.size())), tableOfContentsOffset, file);
  place(node.bytes, leafNodeOffset, file);
  return file;
}

} // namespace halyard::DSStoreWriter
