#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "core/Finder/BigEndianData.hpp"

namespace halyard {

// One record of a .DS_Store file: a typed value under a four-character code, for the item
// `filename` inside the folder ("." for the folder itself).
struct DSStoreRecord {
  // The four value kinds; the tag written into the file is "long", "bool", "type" or "blob".
  struct Long {
    std::uint32_t value;
    bool operator==(const Long&) const = default;
  };
  struct Bool {
    bool value;
    bool operator==(const Bool&) const = default;
  };
  // A four-character code, written as its UTF-8 bytes with no length.
  struct Type {
    std::string code;
    bool operator==(const Type&) const = default;
  };
  struct Blob {
    Bytes data;
    bool operator==(const Blob&) const = default;
  };
  using Value = std::variant<Long, Bool, Type, Blob>;

  // Names are UTF-8; ill-formed sequences count as U+FFFD, both in the file and in the sort.
  std::string filename;
  // Always four ASCII characters ("Iloc", "bwsp", ...); written as its bytes.
  std::string code;
  Value value;

  // The serialised form: UTF-16 length and code units of the name (big-endian), the code, the
  // type tag, then the value bytes. Nothing is padded or aligned.
  Bytes encoded() const;

  // The name in lower case by the Unicode default case mapping, as Unicode scalar values.
  std::vector<std::uint32_t> sortKey() const;

  bool operator==(const DSStoreRecord&) const = default;
};

// The type tag of a value ("long", "bool", "type" or "blob").
const char* typeTag(const DSStoreRecord::Value& value);

} // namespace halyard
