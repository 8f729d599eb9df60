#include "core/Legal/WordFormatting.hpp"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <utility>

#include "core/Legal/ListLabel.hpp"
#include "core/Legal/LittleEndianReader.hpp"
#include "core/Support/Text.hpp"

namespace halyard {

namespace {

constexpr std::uint64_t pageSize = 512;

// The sixteen colours of the classic colour index (0 is "automatic").
constexpr TextColor indexedColors[] = {
    {0, 0, 0},     {0, 0, 255},     {0, 255, 255},   {0, 255, 0},    {255, 0, 255}, {255, 0, 0},
    {255, 255, 0}, {255, 255, 255}, {0, 0, 128},     {0, 128, 128},  {0, 128, 0},   {128, 0, 128},
    {128, 0, 0},   {128, 128, 0},   {128, 128, 128}, {192, 192, 192}};

// A toggle operand: 0 off, 1 on, 0x80 as the style says, 0x81 the opposite of the style (no
// style sets these for body text, so the style's value is taken as off).
bool toggle(std::uint32_t operand) {
  return operand == 1 || operand == 0x81;
}

// Walks a property list (a "grpprl"): each property is a 16-bit code whose top three bits give
// the operand's size, then the operand.
void properties(const LittleEndianReader& bytes, std::uint64_t at, std::uint64_t length,
                const std::function<void(std::uint32_t, std::uint64_t)>& visit) {
  const std::uint64_t end = at + length;
  while (at + 2 <= end) {
    const auto code = bytes.u16(at);
    if (!code) return;
    at += 2;
    std::uint64_t size = 0;
    switch (*code >> 13) {
    case 0:
    case 1:
      size = 1;
      break;
    case 2:
    case 4:
    case 5:
      size = 2;
      break;
    case 3:
      size = 4;
      break;
    case 7:
      size = 3;
      break;
    default: {
      const auto count = bytes.u8(at);
      if (!count) return;
      ++at;
      size = *count;
    }
    }
    if (at + size > end || !bytes.has(at, size)) return;
    visit(*code, at);
    at += size;
  }
}

ListLabel::Format numberFormat(std::uint8_t code) {
  switch (code) {
  case 1:
    return ListLabel::Format::upperRoman;
  case 2:
    return ListLabel::Format::lowerRoman;
  case 3:
    return ListLabel::Format::upperLetter;
  case 4:
    return ListLabel::Format::lowerLetter;
  case 22:
    return ListLabel::Format::decimalZero;
  case 23: // a bullet: the level's text is the bullet itself
  case 255:
    return ListLabel::Format::none;
  default:
    return ListLabel::Format::decimal;
  }
}

// The runs of one kind of formatted property page (512 bytes: the runs' byte offsets, then
// per run a byte that locates its properties in the page, in 16-bit words; a paragraph page
// gives 13 bytes per run of which the first is that byte).
template <typename Visit>
void readPages(const LittleEndianReader& document, const LittleEndianReader& table,
               std::uint32_t at, std::uint32_t length, std::uint64_t entrySize, Visit visit) {
  if (length < 4 || !table.has(at, length)) return;
  const std::uint64_t pages =
      std::min<std::uint64_t>((length - 4) / 8, WordFormatting::maximumPages);
  const std::uint64_t numbersAt = at + 4 * ((length - 4) / 8 + 1);
  for (std::uint64_t page = 0; page < pages; ++page) {
    const auto number = table.u32(numbersAt + 4 * page);
    if (!number) return;
    const std::uint64_t start = std::uint64_t{*number & 0x3FFFFF} * pageSize;
    if (!document.has(start, pageSize)) continue;
    const auto runs = *document.u8(start + pageSize - 1);
    if (4 * (runs + 1) + entrySize * runs > pageSize - 1) continue;
    for (std::uint32_t run = 0; run < runs; ++run) {
      const auto first = *document.u32(start + 4 * run);
      const auto last = *document.u32(start + 4 * (run + 1));
      const auto word = *document.u8(start + 4 * (runs + 1) + entrySize * run);
      visit(first, last, word == 0 ? std::optional<std::uint64_t>() : start + 2 * word, start);
    }
  }
}

} // namespace

WordFormatting::WordFormatting(std::string_view wordDocument, std::string_view table,
                               const Locations& locations) {
  const LittleEndianReader document(wordDocument);
  const LittleEndianReader tables(table);
  formats_.emplace_back();

  readPages(document, tables, locations.characterPages, locations.characterPagesLength, 1,
            [&](std::uint32_t first, std::uint32_t last, std::optional<std::uint64_t> at,
                std::uint64_t page) {
              CharacterFormat format;
              if (at) {
                const auto size = document.u8(*at).value_or(0);
                if (*at + 1 + size > page + pageSize) return;
                properties(document, *at + 1, size, [&](std::uint32_t code, std::uint64_t from) {
                  const auto byte = *document.u8(from);
                  if (code == 0x0800) format.deleted = toggle(byte);
                  if (code == 0x0835) format.attributes.bold = toggle(byte);
                  if (code == 0x0836) format.attributes.italic = toggle(byte);
                  if (code == 0x2A3E) format.attributes.underline = byte != 0;
                  if (code == 0x4A43) {
                    const auto halfPoints = *document.u16(from);
                    if (halfPoints > 0 && halfPoints < 3276)
                      format.attributes.fontSize = halfPoints / 2.0;
                  }
                  if (code == 0x2A42 && byte > 0 && byte <= 16)
                    format.attributes.color = indexedColors[byte - 1];
                  // A colour reference: red, green, blue, then 0xFF for "automatic".
                  if (code == 0x6870 && *document.u8(from + 3) != 0xFF)
                    format.attributes.color =
                        TextColor{static_cast<std::uint8_t>(byte),
                                  static_cast<std::uint8_t>(*document.u8(from + 1)),
                                  static_cast<std::uint8_t>(*document.u8(from + 2))};
                });
              }
              std::size_t index = 0;
              if (format.deleted || !(format.attributes == TextAttributes{})) {
                index = formats_.size();
                formats_.push_back(format);
              }
              characterRuns_.push_back(Run{first, last, index});
            });

  readPages(document, tables, locations.paragraphPages, locations.paragraphPagesLength, 13,
            [&](std::uint32_t first, std::uint32_t last, std::optional<std::uint64_t> at,
                std::uint64_t page) {
              if (!at) return;
              // A size byte of 0 is followed by a second one counting words.
              std::uint64_t size = document.u8(*at).value_or(0);
              std::uint64_t from = *at + 1;
              if (size == 0) {
                size = 2 * document.u8(from).value_or(0);
                ++from;
              } else {
                size = 2 * size - 1;
              }
              if (size < 2 || from + size > page + pageSize) return;
              std::uint32_t override = 0, level = 0;
              // After the paragraph's style number.
              properties(document, from + 2, size - 2, [&](std::uint32_t code, std::uint64_t p) {
                if (code == 0x460B) override = *document.u16(p);
                if (code == 0x260A) level = std::min<std::uint32_t>(*document.u8(p), 8);
              });
              if (override > 0 && override <= maximumLists)
                paragraphRuns_.push_back(Run{first, last, override * 16 + level});
            });

  // The lists: their identifiers and whether they have one level or nine, then the levels of
  // every list one after the other.
  const auto listCount = tables.u16(locations.lists);
  if (locations.listsLength >= 2 && listCount && *listCount < 0x8000) {
    std::vector<std::pair<std::int32_t, std::size_t>> headers;
    std::uint64_t at = std::uint64_t{locations.lists} + 2;
    for (std::uint32_t index = 0; index < std::min<std::uint32_t>(*listCount, maximumLists);
         ++index, at += 28) {
      const auto identifier = tables.u32(at);
      const auto flags = tables.u8(at + 26);
      if (!identifier || !flags) break;
      headers.emplace_back(static_cast<std::int32_t>(*identifier), (*flags & 1) ? 1 : 9);
    }
    at = std::uint64_t{locations.lists} + 2 + 28 * std::uint64_t{*listCount};
    for (const auto& [identifier, levels] : headers) {
      List list;
      for (std::size_t index = 0; index < levels; ++index) {
        const auto start = tables.u32(at);
        const auto characterSize = tables.u8(at + 24);
        const auto paragraphSize = tables.u8(at + 25);
        if (!start || !characterSize || !paragraphSize) break;
        Level level;
        level.start = static_cast<std::int32_t>(*start);
        level.numberFormat = static_cast<std::uint8_t>(*tables.u8(at + 4));
        level.follow = static_cast<std::uint8_t>(*tables.u8(at + 15));
        at += 28 + *characterSize + *paragraphSize;
        const auto length = tables.u16(at);
        if (!length || !tables.has(at + 2, 2 * std::uint64_t{*length})) break;
        for (std::uint32_t c = 0; c < *length; ++c)
          level.text += static_cast<char16_t>(*tables.u16(at + 2 + 2 * c));
        at += 2 + 2 * std::uint64_t{*length};
        list.levels.push_back(std::move(level));
      }
      if (list.levels.size() != levels) break;
      lists_.emplace(identifier, std::move(list));
    }
  }
  const auto overrideCount = tables.u32(locations.listOverrides);
  if (locations.listOverridesLength >= 4 && overrideCount)
    for (std::uint32_t index = 0; index < std::min<std::uint32_t>(*overrideCount, maximumLists);
         ++index) {
      const auto identifier = tables.u32(std::uint64_t{locations.listOverrides} + 4 + 16 * index);
      if (!identifier) break;
      overrides_.push_back(static_cast<std::int32_t>(*identifier));
    }
}

const WordFormatting::Run* WordFormatting::find(const std::vector<Run>& runs,
                                                std::uint64_t offset) {
  // Pages come in the order of the bytes they describe; runs within a page too.
  const auto after =
      std::upper_bound(runs.begin(), runs.end(), offset,
                       [](std::uint64_t value, const Run& run) { return value < run.start; });
  if (after == runs.begin()) return nullptr;
  const Run& run = *std::prev(after);
  return offset < run.end ? &run : nullptr;
}

const WordFormatting::CharacterFormat& WordFormatting::characterFormat(std::uint64_t offset,
                                                                       std::uint64_t& start,
                                                                       std::uint64_t& end) const {
  const auto after =
      std::upper_bound(characterRuns_.begin(), characterRuns_.end(), offset,
                       [](std::uint64_t value, const Run& run) { return value < run.start; });
  start = after == characterRuns_.begin() ? 0 : std::prev(after)->end;
  end = after == characterRuns_.end() ? UINT64_MAX : after->start;
  if (after != characterRuns_.begin() && offset < std::prev(after)->end) {
    start = std::prev(after)->start;
    end = std::prev(after)->end;
    return formats_[std::prev(after)->format];
  }
  // Between runs, or before the first: unformatted.
  start = std::min(start, offset);
  return formats_[0];
}

std::optional<std::string> WordFormatting::listLabel(std::uint64_t offset) {
  const Run* run = find(paragraphRuns_, offset);
  if (run == nullptr) return std::nullopt;
  const std::size_t override = run->format / 16;
  const std::size_t level = run->format % 16;
  if (override > overrides_.size()) return std::nullopt;
  const auto list = lists_.find(overrides_[override - 1]);
  if (list == lists_.end() || level >= list->second.levels.size()) return std::nullopt;
  List& numbers = list->second;
  numbers.counters.advance(level, numbers.levels[level].start);

  const Level& format = numbers.levels[level];
  std::string label;
  for (const char16_t c : format.text) {
    // Characters 0 to 8 stand for the number of that level.
    if (c < 9) {
      if (c < numbers.levels.size())
        label += ListLabel::number(numbers.counters.value(c),
                                   numberFormat(numbers.levels[c].numberFormat));
    } else if (c < 0xD800 || c >= 0xE000) {
      text::appendUTF8(label, ListLabel::visibleBullet(c));
    }
  }
  if (format.numberFormat == 255 && label.empty()) return std::nullopt;
  if (format.follow == 0) label += '\t';
  if (format.follow == 1) label += ' ';
  return label;
}

} // namespace halyard
