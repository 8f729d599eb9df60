#include "core/Finder/DSStoreReader.hpp"

#include <unicode/unistr.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

namespace halyard::DSStoreReader {

namespace {

// HFS+ names have at most 255 UTF-16 code units; anything far longer is not a name.
constexpr std::uint32_t maximumNameLength = 1024;

// A window onto the file's bytes: reads stop at `end`, never beyond.
class Cursor {
public:
  Cursor(const Bytes& bytes, std::size_t begin, std::size_t end, const char* what)
      : bytes_(bytes), at_(begin), end_(end), what_(what) {}

  std::uint32_t uint32() {
    need(4);
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
      value = value << 8 | bytes_[at_++];
    return value;
  }
  std::uint16_t uint16() {
    need(2);
    const auto value = static_cast<std::uint16_t>(bytes_[at_] << 8 | bytes_[at_ + 1]);
    at_ += 2;
    return value;
  }
  std::uint8_t byte() {
    need(1);
    return bytes_[at_++];
  }
  Bytes take(std::size_t count) {
    need(count);
    Bytes out(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
              bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + count));
    at_ += count;
    return out;
  }
  std::string text(std::size_t count) {
    const Bytes raw = take(count);
    return std::string(raw.begin(), raw.end());
  }
  void skip(std::size_t count) {
    need(count);
    at_ += count;
  }

private:
  void need(std::size_t count) const {
    if (count > end_ - at_) throw Failure(std::string(what_) + " is cut short");
  }

  const Bytes& bytes_;
  std::size_t at_;
  std::size_t end_;
  const char* what_;
};

struct Container {
  const Bytes& file;
  std::vector<std::uint32_t> addresses;

  // Block `number` as a cursor: its offset and size come from its address (offset in the high
  // bits, log2 of the size in the low five), and the container starts after a 4-byte prefix.
  Cursor block(std::uint32_t number, const char* what) const {
    if (number >= addresses.size()) throw Failure(std::string(what) + " names a missing block");
    const std::uint32_t address = addresses[number];
    const std::size_t begin = std::size_t{address & ~0x1Fu} + 4;
    const std::size_t size = std::size_t{1} << (address & 0x1F);
    if (begin >= file.size()) throw Failure(std::string(what) + " lies beyond the end of the file");
    const std::size_t end = size < file.size() - begin ? begin + size : file.size();
    return Cursor(file, begin, end, what);
  }
};

std::string utf8Name(const std::vector<char16_t>& units) {
  const icu::UnicodeString name(units.data(), static_cast<int32_t>(units.size()));
  std::string out;
  name.toUTF8String(out);
  return out;
}

// The next record; none for a kind that is read past and not kept.
std::optional<DSStoreRecord> record(Cursor& node) {
  const std::uint32_t length = node.uint32();
  if (length > maximumNameLength) throw Failure("a record's name is too long");
  std::vector<char16_t> units(length);
  for (auto& unit : units)
    unit = static_cast<char16_t>(node.uint16());
  DSStoreRecord out;
  out.filename = utf8Name(units);
  out.code = node.text(4);
  const std::string type = node.text(4);
  if (type == "long" || type == "shor") {
    out.value = DSStoreRecord::Long{node.uint32()};
  } else if (type == "bool") {
    out.value = DSStoreRecord::Bool{node.byte() != 0};
  } else if (type == "type") {
    out.value = DSStoreRecord::Type{node.text(4)};
  } else if (type == "blob" || type == "book") {
    out.value = DSStoreRecord::Blob{node.take(node.uint32())};
  } else if (type == "ustr") {
    const std::uint32_t count = node.uint32();
    if (count > 0x7FFFFFFF) throw Failure("a record's text is too long");
    node.skip(std::size_t{count} * 2);
    return std::nullopt;
  } else if (type == "comp" || type == "dutc") {
    node.skip(8);
    return std::nullopt;
  } else {
    throw Failure("a record has the unknown value type \"" + type + "\"");
  }
  return out;
}

struct TreeWalk {
  const Container& container;
  std::vector<DSStoreRecord> records;
  std::set<std::uint32_t> visited;

  void keep(std::optional<DSStoreRecord>&& read) {
    if (records.size() >= maximumRecords) throw Failure("it holds too many records");
    if (read) records.push_back(std::move(*read));
  }

  void node(std::uint32_t number, std::size_t depth) {
    if (depth > maximumDepth) throw Failure("its tree is too deep");
    if (!visited.insert(number).second) throw Failure("its tree refers to a node twice");
    if (visited.size() > maximumNodes) throw Failure("its tree has too many nodes");
    Cursor cursor = container.block(number, "a tree node");
    const std::uint32_t rightmost = cursor.uint32();
    const std::uint32_t count = cursor.uint32();
    if (count > maximumRecords) throw Failure("a tree node holds too many records");
    for (std::uint32_t i = 0; i < count; ++i) {
      // An internal node puts each record after the child that holds the names before it.
      if (rightmost != 0) node(cursor.uint32(), depth + 1);
      keep(record(cursor));
    }
    if (rightmost != 0) node(rightmost, depth + 1);
  }
};

} // namespace

Failure::Failure(const std::string& reason)
    : Error("Halyard.DSStoreReader", 1, "The .DS_Store file is malformed: " + reason + ".") {}

std::vector<DSStoreRecord> read(const Bytes& file) {
  if (file.size() > maximumFileSize) throw Failure("it is larger than 4 MB");
  Cursor header(file, 0, file.size(), "the header");
  if (header.uint32() != 1 || header.text(4) != "Bud1")
    throw Failure("it does not begin like a .DS_Store file");
  const std::uint32_t allocatorOffset = header.uint32();
  const std::uint32_t allocatorSize = header.uint32();
  if (header.uint32() != allocatorOffset) throw Failure("its header is inconsistent");
  const std::size_t allocatorBegin = std::size_t{allocatorOffset} + 4;
  if (allocatorBegin >= file.size() || allocatorSize > file.size() - allocatorBegin)
    throw Failure("its allocator information lies beyond the end of the file");

  Cursor allocator(file, allocatorBegin, allocatorBegin + allocatorSize,
                   "the allocator information");
  const std::uint32_t blockCount = allocator.uint32();
  allocator.skip(4);
  if (blockCount > allocatorSize / 4) throw Failure("it lists more blocks than it can hold");
  Container container{file, {}};
  for (std::uint32_t i = 0; i < blockCount; ++i)
    container.addresses.push_back(allocator.uint32());
  // The address table fills whole pages of 256 slots.
  const std::size_t slots = (std::size_t{blockCount} + 255) / 256 * 256;
  allocator.skip((slots - blockCount) * 4);

  const std::uint32_t entries = allocator.uint32();
  std::optional<std::uint32_t> tableOfContents;
  for (std::uint32_t i = 0; i < entries && !tableOfContents; ++i) {
    const std::string name = allocator.text(allocator.byte());
    const std::uint32_t block = allocator.uint32();
    if (name == "DSDB") tableOfContents = block;
  }
  if (!tableOfContents) throw Failure("it has no \"DSDB\" directory entry");

  Cursor table = container.block(*tableOfContents, "the table of contents");
  const std::uint32_t root = table.uint32();
  TreeWalk walk{container, {}, {}};
  walk.node(root, 0);
  return std::move(walk.records);
}

} // namespace halyard::DSStoreReader
