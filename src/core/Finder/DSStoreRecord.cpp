#include "core/Finder/DSStoreRecord.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace halyard {

namespace {

icu::UnicodeString unicodeName(const std::string& name) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
}

struct ValueWriter {
  BigEndianData& out;

  void operator()(const DSStoreRecord::Long& v) const { out.append(v.value); }
  void operator()(const DSStoreRecord::Bool& v) const { out.appendByte(v.value ? 1 : 0); }
  void operator()(const DSStoreRecord::Type& v) const { out.appendBytes(v.code); }
  void operator()(const DSStoreRecord::Blob& v) const {
    out.append(static_cast<std::uint32_t>(v.data.size()));
    out.appendBytes(v.data);
  }
};

} // namespace

const char* typeTag(const DSStoreRecord::Value& value) {
  static const char* const tags[] = {"long", "bool", "type", "blob"};
  return tags[value.index()];
}

Bytes DSStoreRecord::encoded() const {
  const icu::UnicodeString name = unicodeName(filename);
  BigEndianData out;
  out.append(static_cast<std::uint32_t>(name.length()));
  for (int32_t i = 0; i < name.length(); ++i)
    out.appendUInt16(name.charAt(i));
  out.appendBytes(code);
  out.appendBytes(typeTag(value));
  std::visit(ValueWriter{out}, value);
  return std::move(out.bytes);
}

std::vector<std::uint32_t> DSStoreRecord::sortKey() const {
  icu::UnicodeString lower = unicodeName(filename);
  lower.toLower(icu::Locale::getRoot());
  std::vector<std::uint32_t> key;
  key.reserve(static_cast<std::size_t>(lower.length()));
  for (int32_t i = 0; i < lower.length(); i = lower.moveIndex32(i, 1)) {
    key.push_back(static_cast<std::uint32_t>(lower.char32At(i)));
  }
  return key;
}

} // namespace halyard
