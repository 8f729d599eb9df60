#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/Legal/StyledText.hpp"

namespace halyard {

// Assembles the styled text of a document read paragraph by paragraph: a paragraph's end is only
// counted, and the line breaks are written before the next text, so that a document neither
// starts nor ends with the breaks of its empty paragraphs while blank lines inside it stay.
class StyledTextBuilder {
public:
  // Text that is not well-formed UTF-8 (a parser may pass stray bytes through) gets U+FFFD for
  // each bad sequence.
  void append(std::string_view text, const TextAttributes& attributes);

  // Ends a paragraph (or a line); the break takes the attributes of the text before it.
  void endParagraph() {
    ++pendingBreaks_;
    if (!text_.runs.empty()) breakAttributes_ = text_.runs.back().attributes;
  }

  // Ends a block: a line break unless one is already pending.
  void endBlock() {
    if (pendingBreaks_ == 0) endParagraph();
  }

  // Starts a table cell after the first of its row: the break that ended the previous cell's
  // last paragraph becomes a tab.
  void startNextCell(const TextAttributes& attributes) {
    if (pendingBreaks_ > 0) --pendingBreaks_;
    append("\t", attributes);
  }

  // True when nothing was written since the last paragraph break (or at all).
  bool atParagraphStart() const { return text_.runs.empty() || pendingBreaks_ > 0; }

  // The most bytes of text one document may give. A few elements expand (a space element may
  // ask for many spaces), so the output is bounded on its own.
  static constexpr std::size_t textLimit = std::size_t{64} << 20;

  // The text, or nothing when it grew beyond the limit.
  std::optional<StyledText> take() {
    if (overflowed_) return std::nullopt;
    return std::move(text_);
  }

private:
  StyledText text_;
  std::size_t pendingBreaks_ = 0;
  TextAttributes breakAttributes_;
  std::size_t size_ = 0;
  bool overflowed_ = false;
};

} // namespace halyard
