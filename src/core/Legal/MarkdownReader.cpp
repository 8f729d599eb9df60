#include "core/Legal/MarkdownReader.hpp"

#include <map>
#include <utility>

namespace halyard {

namespace {

constexpr int maximumNesting = 32;
constexpr std::size_t maximumLinkTextLength = 1000;
constexpr std::size_t maximumLinkDestinationLength = 2000;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAlphanumeric(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}
bool isPunctuation(char c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
         (c >= '{' && c <= '~');
}

std::size_t runLength(std::string_view text, std::size_t index) {
  std::size_t end = index;
  while (end < text.size() && text[end] == text[index])
    ++end;
  return end - index;
}

class InlineParser {
public:
  InlineParser(std::string_view text, int depth) : text_(text), depth_(depth) {}

  void parse(const TextAttributes& attributes, StyledText& out) {
    std::string literal;
    auto flush = [&] {
      out.append(std::move(literal), attributes);
      literal.clear();
    };
    std::size_t index = 0;
    while (index < text_.size()) {
      const char c = text_[index];
      if (c == '\\' && index + 1 < text_.size() && isPunctuation(text_[index + 1])) {
        literal += text_[index + 1];
        index += 2;
      } else if (c == '`') {
        const auto length = runLength(text_, index);
        const auto close = findRun(index + length, '`', length);
        if (close) {
          literal += text_.substr(index + length, *close - index - length);
          index = *close + length;
        } else {
          literal += text_.substr(index, length);
          index += length;
        }
      } else if ((c == '[' || (c == '!' && index + 1 < text_.size() && text_[index + 1] == '[')) &&
                 depth_ < maximumNesting) {
        const auto start = c == '[' ? index + 1 : index + 2;
        const auto link = findLink(start);
        if (!link) {
          literal += text_.substr(index, start - index);
          index = start;
          continue;
        }
        flush();
        InlineParser(text_.substr(start, link->first - start), depth_ + 1).parse(attributes, out);
        index = link->second;
      } else if (c == '<') {
        const auto close = autolinkEnd(index);
        if (close) {
          literal += text_.substr(index + 1, *close - index - 1);
          index = *close + 1;
        } else {
          literal += c;
          ++index;
        }
      } else if ((c == '*' || c == '_') && depth_ < maximumNesting) {
        const auto length = runLength(text_, index);
        const auto used = std::min<std::size_t>(length, 3);
        const auto next = index + length;
        const bool canOpen = next < text_.size() && !isSpace(text_[next]) &&
                             (c == '*' || index == 0 || !isAlphanumeric(text_[index - 1]));
        const auto close = canOpen && length <= 3 ? findRun(next, c, used) : std::nullopt;
        if (!close) {
          literal += text_.substr(index, length);
          index = next;
          continue;
        }
        flush();
        auto inner = attributes;
        if (used != 2) inner.italic = true;
        if (used >= 2) inner.bold = true;
        InlineParser(text_.substr(next, *close - next), depth_ + 1).parse(inner, out);
        index = *close + used;
      } else {
        literal += c;
        ++index;
      }
    }
    flush();
  }

private:
  // Whether a blank line starts after the line feed at `index`.
  bool blankLineFollows(std::size_t index) const {
    auto next = index + 1;
    while (next < text_.size() &&
           (text_[next] == ' ' || text_[next] == '\t' || text_[next] == '\r'))
      ++next;
    return next >= text_.size() || text_[next] == '\n';
  }

  // The start of the next run of exactly `length` characters `c` from `from`, within the
  // paragraph; for emphasis the run must close (not follow white space; an underscore run not
  // followed by a letter or digit).
  std::optional<std::size_t> findRun(std::size_t from, char c, std::size_t length) {
    const auto key = std::make_pair(c, length);
    if (const auto failed = failedUntil_.find(key);
        failed != failedUntil_.end() && from < failed->second)
      return std::nullopt;
    auto index = from;
    for (; index < text_.size(); ++index) {
      if (text_[index] == '\n' && blankLineFollows(index)) break;
      if (text_[index] == '\\' && c != '`') {
        ++index;
        continue;
      }
      if (text_[index] != c) continue;
      const auto run = runLength(text_, index);
      if (run == length && (c == '`' || isEmphasisCloser(index, run))) return index;
      index += run - 1;
    }
    failedUntil_[key] = index;
    return std::nullopt;
  }

  bool isEmphasisCloser(std::size_t index, std::size_t run) const {
    if (index == 0 || isSpace(text_[index - 1])) return false;
    const auto after = index + run;
    return text_[index] == '*' || after >= text_.size() || !isAlphanumeric(text_[after]);
  }

  // For link text starting at `start` (after "["): the position of its "]" and the position
  // after the destination's ")", when "](...)" follows.
  std::optional<std::pair<std::size_t, std::size_t>> findLink(std::size_t start) const {
    int nesting = 0;
    const auto limit = std::min(text_.size(), start + maximumLinkTextLength);
    std::size_t index = start;
    for (; index < limit; ++index) {
      const char c = text_[index];
      if (c == '\\') {
        ++index;
      } else if (c == '[') {
        ++nesting;
      } else if (c == ']') {
        if (nesting-- == 0) break;
      } else if (c == '\n' && index + 1 < text_.size() && text_[index + 1] == '\n') {
        return std::nullopt;
      }
    }
    if (index >= limit || index + 1 >= text_.size() || text_[index + 1] != '(') return std::nullopt;
    const auto close = index;
    const auto destinationLimit = std::min(text_.size(), close + 2 + maximumLinkDestinationLength);
    int parentheses = 0;
    for (auto position = close + 2; position < destinationLimit; ++position) {
      const char c = text_[position];
      if (c == '\\') {
        ++position;
      } else if (c == '(') {
        ++parentheses;
      } else if (c == ')') {
        if (parentheses-- == 0) return std::make_pair(close, position + 1);
      } else if (c == '\n' && position + 1 < text_.size() && text_[position + 1] == '\n') {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  // The position of the ">" of an autolink opened at `index`: <scheme:address> or <a@b.c>.
  std::optional<std::size_t> autolinkEnd(std::size_t index) const {
    std::size_t position = index + 1;
    bool scheme = false;
    bool at = false;
    const auto limit = std::min(text_.size(), index + 2048);
    for (; position < limit; ++position) {
      const char c = text_[position];
      if (c == '>') break;
      if (isSpace(c) || c == '<') return std::nullopt;
      if (c == ':' && position > index + 2) scheme = true;
      if (c == '@' && position > index + 1) at = true;
    }
    if (position >= limit || !(scheme || at)) return std::nullopt;
    if (!((text_[index + 1] >= 'a' && text_[index + 1] <= 'z') ||
          (text_[index + 1] >= 'A' && text_[index + 1] <= 'Z') || at))
      return std::nullopt;
    return position;
  }

  std::string_view text_;
  int depth_;
  std::map<std::pair<char, std::size_t>, std::size_t> failedUntil_;
};

} // namespace

StyledText MarkdownReader::read(std::string_view text) {
  TextAttributes attributes;
  attributes.fontSize = 12;
  StyledText out;
  InlineParser(text, 0).parse(attributes, out);
  return out;
}

} // namespace halyard
