#include "core/Legal/WordDocumentReader.hpp"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Legal/DocumentBytes.hpp"
#include "core/Legal/LittleEndianReader.hpp"
#include "core/Legal/WordFormatting.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

struct ObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T> using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

std::optional<std::string> streamBytes(GsfInfile* container, const char* name) {
  GObjectPtr<GsfInput> stream(gsf_infile_child_by_name(container, name));
  if (!stream) return std::nullopt;
  const gsf_off_t size = gsf_input_size(stream.get());
  if (size < 0 || static_cast<std::uintmax_t>(size) > DocumentBytes::fileLimit) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && gsf_input_read(stream.get(), static_cast<std::size_t>(size),
                                 reinterpret_cast<guint8*>(bytes.data())) == nullptr)
    return std::nullopt;
  return bytes;
}

using Reader = LittleEndianReader;

// Windows-1252 for the 8-bit pieces (0x80 to 0x9F differ from Latin-1; the five undefined
// positions keep their C1 value and are dropped later as control characters).
char16_t windows1252(unsigned char byte) {
  static constexpr char16_t high[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : char16_t{byte};
}

// Where a stretch of the main text is stored: its first character's byte offset in the
// WordDocument stream, and one byte per character (8-bit) or two (UTF-16).
struct Piece {
  std::uint32_t characters = 0;
  std::uint64_t offset = 0;
  bool compressed = false;
};

struct MainText {
  std::u16string characters;
  std::vector<Piece> pieces;
};

// The main document's characters, gathered piece by piece.
std::optional<MainText> mainText(std::string_view wordDocument, std::string_view table,
                                 std::uint32_t characterCount, std::uint32_t clxOffset,
                                 std::uint32_t clxLength) {
  const Reader tableReader(table);
  if (!tableReader.has(clxOffset, clxLength)) return std::nullopt;
  // The Clx: property runs (type 1) to skip, then the piece table (type 2).
  std::uint64_t position = clxOffset;
  const std::uint64_t end = std::uint64_t{clxOffset} + clxLength;
  std::uint32_t pieceTableLength = 0;
  while (true) {
    const auto type = tableReader.u8(position);
    if (!type || position >= end) return std::nullopt;
    if (*type == 1) {
      const auto length = tableReader.u16(position + 1);
      if (!length) return std::nullopt;
      position += 3 + *length;
    } else if (*type == 2) {
      const auto length = tableReader.u32(position + 1);
      if (!length) return std::nullopt;
      pieceTableLength = *length;
      position += 5;
      break;
    } else {
      return std::nullopt;
    }
  }
  if (pieceTableLength < 4 || (pieceTableLength - 4) % 12 != 0 ||
      !tableReader.has(position, pieceTableLength))
    return std::nullopt;
  const std::uint32_t pieces = (pieceTableLength - 4) / 12;
  const std::uint64_t descriptors = position + 4 * (std::uint64_t{pieces} + 1);

  const Reader documentReader(wordDocument);
  MainText text;
  auto& characters = text.characters;
  for (std::uint32_t index = 0; index < pieces && characters.size() < characterCount; ++index) {
    const auto start = tableReader.u32(position + 4 * index);
    const auto stop = tableReader.u32(position + 4 * (index + 1));
    const auto fc = tableReader.u32(descriptors + 8 * index + 2);
    if (!start || !stop || !fc || *stop < *start) return std::nullopt;
    const std::uint32_t count = std::min<std::uint32_t>(
        *stop - *start, characterCount - static_cast<std::uint32_t>(characters.size()));
    const bool compressed = (*fc & 0x40000000u) != 0;
    const std::uint64_t offset = compressed ? (*fc & 0x3FFFFFFFu) / 2 : (*fc & 0x3FFFFFFFu);
    if (!documentReader.has(offset, compressed ? count : std::uint64_t{count} * 2))
      return std::nullopt;
    text.pieces.push_back(Piece{count, offset, compressed});
    for (std::uint32_t character = 0; character < count; ++character) {
      if (compressed)
        characters += windows1252(static_cast<unsigned char>(wordDocument[offset + character]));
      else
        characters += static_cast<char16_t>(*documentReader.u16(offset + 2 * character));
    }
  }
  return text;
}

// Collects the visible text into runs of equal attributes.
class VisibleText {
public:
  // `attributes` must outlive the collector (they are the formatting tables' own).
  void append(char32_t c, const TextAttributes& attributes) {
    use(attributes);
    text::appendUTF8(text_, c);
  }
  void append(char c, const TextAttributes& attributes) {
    use(attributes);
    text_ += c;
  }
  void append(const std::string& text, const TextAttributes& attributes) {
    use(attributes);
    text_ += text;
  }
  // Removes a tab just written (the one after a row's last cell).
  void removeTab() {
    flush();
    if (!result_.runs.empty() && !result_.runs.back().text.empty() &&
        result_.runs.back().text.back() == '\t') {
      result_.runs.back().text.pop_back();
      if (result_.runs.back().text.empty()) result_.runs.pop_back();
    }
  }
  StyledText take() {
    flush();
    return std::move(result_);
  }

private:
  void use(const TextAttributes& attributes) {
    if (&attributes == attributes_) return;
    if (attributes_ != nullptr && !(attributes == *attributes_)) flush();
    attributes_ = &attributes;
  }
  void flush() {
    if (attributes_ != nullptr) result_.append(std::move(text_), *attributes_);
    text_.clear();
  }
  StyledText result_;
  std::string text_;
  const TextAttributes* attributes_ = nullptr;
};

// Word's marks as text: field codes hidden, results kept, control characters mapped or dropped,
// deleted revisions left out, list labels written before their paragraphs.
StyledText visibleText(const MainText& main, WordFormatting& formatting) {
  const auto& characters = main.characters;
  VisibleText text;
  // One entry per open field: true while its code (before the separator) is being read; the
  // count of such entries says whether the text is hidden, without walking the stack.
  std::vector<bool> fields;
  std::size_t inCode = 0;
  // Where each character is stored: the piece that holds it ends before character pieceEnd,
  // and each character takes `step` bytes.
  std::size_t piece = 0;
  std::size_t pieceEnd = 0;
  std::uint64_t offset = 0, step = 0;
  bool paragraphStart = true;
  // The formatting of the bytes from formatStart to before formatEnd.
  const WordFormatting::CharacterFormat* format = nullptr;
  std::uint64_t formatStart = 1, formatEnd = 0;
  for (std::size_t index = 0; index < characters.size(); ++index) {
    if (index >= pieceEnd) {
      while (piece < main.pieces.size() && main.pieces[piece].characters == 0)
        ++piece;
      if (piece < main.pieces.size()) {
        pieceEnd = index + main.pieces[piece].characters;
        offset = main.pieces[piece].offset;
        step = main.pieces[piece].compressed ? 1 : 2;
        ++piece;
      } else {
        pieceEnd = characters.size();
        offset = step = 0;
      }
    } else {
      offset += step;
    }
    if (offset < formatStart || offset >= formatEnd)
      format = &formatting.characterFormat(offset, formatStart, formatEnd);
    if (format->deleted) continue;
    const TextAttributes& attributes = format->attributes;
    if (paragraphStart) {
      paragraphStart = false;
      if (const auto label = formatting.listLabel(offset)) text.append(*label, attributes);
    }

    char32_t c = characters[index];
    if (c >= 0x20 && c < 0x7F && inCode == 0) {
      text.append(static_cast<char>(c), attributes);
      continue;
    }
    if (c == 0x13) {
      fields.push_back(true);
      ++inCode;
      continue;
    }
    if (c == 0x14) {
      if (!fields.empty() && fields.back()) {
        fields.back() = false;
        --inCode;
      }
      continue;
    }
    if (c == 0x15) {
      if (!fields.empty()) {
        if (fields.back()) --inCode;
        fields.pop_back();
      }
      continue;
    }
    if (inCode > 0) continue;

    if (c >= 0xD800 && c < 0xDC00 && index + 1 < characters.size() && index + 1 < pieceEnd &&
        characters[index + 1] >= 0xDC00 && characters[index + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (characters[++index] - 0xDC00);
      offset += step;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    switch (c) {
    case 0x0D:
      paragraphStart = true;
      text.append(U'\n', attributes);
      break;
    case 0x0B:
    case 0x0C:
      text.append(U'\n', attributes);
      break;
    case 0x07:
      // A cell's end; a second mark straight after it ends the table row.
      if (index > 0 && characters[index - 1] == 0x07) {
        text.removeTab();
        text.append(U'\n', attributes);
      } else {
        text.append(U'\t', attributes);
      }
      paragraphStart = true;
      break;
    case 0x09:
      text.append(U'\t', attributes);
      break;
    case 0x1E:
      text.append(U'\u2011', attributes);
      break;
    default:
      if (c >= 0x20 && !(c >= 0x7F && c < 0xA0)) text.append(c, attributes);
    }
  }
  return text.take();
}

std::optional<StyledText> documentText(std::string_view wordDocument, std::string_view zeroTable,
                                       std::string_view oneTable) {
  const Reader fib(wordDocument);
  // The file information block: its identifier, a Word 97 or later version, not encrypted.
  const auto identifier = fib.u16(0);
  const auto version = fib.u16(2);
  const auto flags = fib.u16(0x0A);
  if (identifier != 0xA5EC || !version || *version < 0xC1 || !flags || (*flags & 0x0100) != 0)
    return std::nullopt;
  // Variable-length parts: 16-bit words, 32-bit longs (the fourth is the main text's length),
  // then offset/length pairs (the 34th locates the piece table).
  const auto shortCount = fib.u16(32);
  if (!shortCount) return std::nullopt;
  const std::uint64_t longsAt = 34 + 2 * std::uint64_t{*shortCount};
  const auto longCount = fib.u16(longsAt);
  if (!longCount || *longCount < 4) return std::nullopt;
  const auto characterCount = fib.u32(longsAt + 2 + 4 * 3);
  const std::uint64_t pairsAt = longsAt + 2 + 4 * std::uint64_t{*longCount};
  const auto pairCount = fib.u16(pairsAt);
  // Overlapping pieces could repeat the same bytes without end: the main text's length is
  // bounded as well as every piece.
  if (!characterCount || *characterCount > DocumentBytes::fileLimit / 2 || !pairCount ||
      *pairCount < 34)
    return std::nullopt;
  const auto clxOffset = fib.u32(pairsAt + 2 + 8 * 33);
  const auto clxLength = fib.u32(pairsAt + 2 + 8 * 33 + 4);
  if (!clxOffset || !clxLength) return std::nullopt;

  const std::string_view table = (*flags & 0x0200) != 0 ? oneTable : zeroTable;
  const auto main = mainText(wordDocument, table, *characterCount, *clxOffset, *clxLength);
  if (!main) return std::nullopt;
  // The formatting tables; a pair the block does not have reads as an empty table.
  const auto pair = [&](std::uint32_t index, std::uint32_t& offset, std::uint32_t& length) {
    if (index >= *pairCount) return;
    offset = fib.u32(pairsAt + 2 + 8 * index).value_or(0);
    length = fib.u32(pairsAt + 2 + 8 * index + 4).value_or(0);
  };
  WordFormatting::Locations locations;
  pair(12, locations.characterPages, locations.characterPagesLength);
  pair(13, locations.paragraphPages, locations.paragraphPagesLength);
  pair(73, locations.lists, locations.listsLength);
  pair(74, locations.listOverrides, locations.listOverridesLength);
  WordFormatting formatting(wordDocument, table, locations);
  return visibleText(*main, formatting);
}

} // namespace

std::optional<StyledText> WordDocumentReader::readStreams(std::string_view wordDocument,
                                                          std::string_view zeroTable,
                                                          std::string_view oneTable) {
  return documentText(wordDocument, zeroTable, oneTable);
}

std::optional<StyledText> WordDocumentReader::read(const std::filesystem::path& file) {
  const auto bytes = DocumentBytes::readFile(file);
  if (!bytes) return std::nullopt;
  GObjectPtr<GsfInput> input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes->data()),
                                                  static_cast<gsf_off_t>(bytes->size()), FALSE));
  GError* error = nullptr;
  GObjectPtr<GsfInfile> container(gsf_infile_msole_new(input.get(), &error));
  if (error != nullptr) g_error_free(error);
  std::optional<StyledText> result;
  if (container) {
    // A missing table stream reads as empty; the file information block names the one in use.
    const auto wordDocument = streamBytes(container.get(), "WordDocument");
    if (wordDocument)
      result = readStreams(*wordDocument, streamBytes(container.get(), "0Table").value_or(""),
                           streamBytes(container.get(), "1Table").value_or(""));
  }
  if (!result) DocumentBytes::refuse(file, "not a readable Word 97 document");
  return result;
}

} // namespace halyard
