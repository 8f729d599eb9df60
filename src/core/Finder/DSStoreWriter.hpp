#pragma once

#include <cstddef>
#include <vector>

#include "core/Finder/BigEndianData.hpp"
#include "core/Finder/DSStoreRecord.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Writes the complete contents of a .DS_Store file: a buddy-allocated container of 16,388 bytes
// with an allocator-information block, a "DSDB" table of contents and one B-tree whose root is a
// single leaf node holding every record. It only writes; it never reads or merges a file.
namespace DSStoreWriter {

// The size of every file this writer produces, and the most a leaf node may hold.
inline constexpr std::size_t fileSize = 16388;
inline constexpr std::size_t pageSize = 4096;

// Offsets inside the container's address space (file byte = offset + 4).
inline constexpr std::size_t allocatorOffset = 2048;
inline constexpr std::size_t tableOfContentsOffset = 32;
inline constexpr std::size_t leafNodeOffset = 8192;

class Failure : public Error {
public:
  enum class Kind { tooManyRecords };

  explicit Failure(Kind kind);
  Kind kind() const { return kind_; }

  friend bool operator==(const Failure& a, const Failure& b) { return a.kind_ == b.kind_; }

private:
  Kind kind_;
};

// The records in file order: by lower-cased name (Unicode scalar values), then by code bytes;
// the sort is stable, so records equal in both keep their order.
std::vector<DSStoreRecord> sorted(std::vector<DSStoreRecord> records);

// The file contents, exactly 16,388 bytes. Throws Failure(tooManyRecords) when the leaf node
// would be longer than 4,096 bytes.
Bytes data(std::vector<DSStoreRecord> records);

// Copies `block` over `file` from byte offset + 4 on; the file keeps its length. Throws
// std::out_of_range when the block would not fit.
void place(const Bytes& block, std::size_t offset, Bytes& file);

// The fixed pieces of the container, exposed for the tests and the fuzz target.
Bytes header();
Bytes allocatorBlock();
Bytes tableOfContents(std::uint32_t recordCount);

} // namespace DSStoreWriter

} // namespace halyard
