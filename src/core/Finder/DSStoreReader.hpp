#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/Finder/BigEndianData.hpp"
#include "core/Finder/DSStoreRecord.hpp"
#include "core/Support/Error.hpp"

namespace halyard {

// Reads the records of a .DS_Store file, whoever wrote it: it follows the container's own
// pointers (header, allocator information, the "DSDB" directory entry, the table of contents,
// then the B-tree from its root, leaf and internal nodes alike) instead of assuming the layout
// the writer uses. The file comes from outside (any DMG), so every offset, count and length is
// checked against the bytes there are and against fixed limits before it is used.
namespace DSStoreReader {

// Files beyond this are refused unread: a folder's window settings take a few kilobytes.
inline constexpr std::size_t maximumFileSize = 4 * 1024 * 1024;
// Bounds on the tree, far beyond any real file and low enough to keep a crafted one cheap.
inline constexpr std::size_t maximumDepth = 16;
inline constexpr std::size_t maximumNodes = 4096;
inline constexpr std::size_t maximumRecords = 65536;

// A file that is not a .DS_Store container or breaks one of its rules. The message reads "The
// .DS_Store file is malformed: " followed by what is wrong.
class Failure : public Error {
public:
  explicit Failure(const std::string& reason);
};

// Every record in the tree's order. Values of the kinds the writer knows come back as such
// ("shor" as Long, "book" as Blob); the other kinds a Finder writes ("ustr", "comp", "dutc") are
// checked and skipped. Throws Failure.
std::vector<DSStoreRecord> read(const Bytes& file);

} // namespace DSStoreReader

} // namespace halyard
