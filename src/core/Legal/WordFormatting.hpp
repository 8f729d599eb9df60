#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Legal/ListLabel.hpp"
#include "core/Legal/StyledText.hpp"

namespace halyard {

// The formatting a Word 97 document keeps beside its text: the character properties of each
// stretch of bytes (bold, italic, size, colour, and revision marks: text deleted with change
// tracking on), and the list each paragraph belongs to, from which its label ("1.", "•") is
// made. Every table is read from untrusted bytes and bounded: what lies beyond a limit or
// outside the streams is left unformatted, it never fails the document.
class WordFormatting {
public:
  // Where the tables are: offset/length pairs of the file information block, in the table
  // stream.
  struct Locations {
    std::uint32_t characterPages = 0, characterPagesLength = 0; // PlcBteChpx
    std::uint32_t paragraphPages = 0, paragraphPagesLength = 0; // PlcBtePapx
    std::uint32_t lists = 0, listsLength = 0;                   // PlfLst
    std::uint32_t listOverrides = 0, listOverridesLength = 0;   // PlfLfo
  };

  struct CharacterFormat {
    bool deleted = false;
    TextAttributes attributes;
  };

  // The most property pages read of each kind (a page holds up to 101 runs).
  static constexpr std::size_t maximumPages = 16384;
  // The most lists and list overrides read.
  static constexpr std::size_t maximumLists = 1024;

  WordFormatting(std::string_view wordDocument, std::string_view table, const Locations& locations);

  // The properties of the character stored at byte `offset` of the WordDocument stream, which
  // hold for the bytes from `start` to before `end` (set here).
  const CharacterFormat& characterFormat(std::uint64_t offset, std::uint64_t& start,
                                         std::uint64_t& end) const;

  // The label of the paragraph whose first character is stored at `offset`, followed by what
  // the list puts after it (a tab, a space or nothing); nothing when it is not in a list.
  // Paragraphs must be asked in document order: numbers count on from the previous ones.
  std::optional<std::string> listLabel(std::uint64_t offset);

private:
  struct Run {
    std::uint32_t start = 0, end = 0;
    std::size_t format = 0; // index into formats_ (characters) or a packed list reference
  };
  struct Level {
    std::int32_t start = 1;
    std::uint8_t numberFormat = 0;
    std::uint8_t follow = 0;
    std::u16string text;
  };
  struct List {
    std::vector<Level> levels;
    ListLabel::Counters counters;
  };

  std::vector<CharacterFormat> formats_;
  std::vector<Run> characterRuns_;
  std::vector<Run> paragraphRuns_; // format = override index (1-based) * 16 + level
  std::map<std::int32_t, List> lists_;
  std::vector<std::int32_t> overrides_; // list identifier of each override

  static const Run* find(const std::vector<Run>& runs, std::uint64_t offset);
};

} // namespace halyard
