#include "Requirement.hpp"

#include <cctype>

namespace macsim {

namespace {

class Scanner {
public:
  explicit Scanner(const std::string& text) : text_(text) {}

  void skipSpace() {
    while (true) {
      while (position_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[position_])))
        ++position_;
      if (text_.compare(position_, 2, "/*") == 0) {
        const auto end = text_.find("*/", position_ + 2);
        position_ = end == std::string::npos ? text_.size() : end + 2;
        continue;
      }
      return;
    }
  }
  bool atEnd() {
    skipSpace();
    return position_ >= text_.size();
  }
  bool accept(const std::string& word) {
    skipSpace();
    if (text_.compare(position_, word.size(), word) != 0) return false;
    position_ += word.size();
    return true;
  }
  // A quoted string or a bare word.
  std::optional<std::string> value() {
    skipSpace();
    if (position_ >= text_.size()) return std::nullopt;
    std::string result;
    if (text_[position_] == '"') {
      const auto end = text_.find('"', position_ + 1);
      if (end == std::string::npos) return std::nullopt;
      result = text_.substr(position_ + 1, end - position_ - 1);
      position_ = end + 1;
      return result;
    }
    while (position_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[position_])) || text_[position_] == '.' ||
            text_[position_] == '-' || text_[position_] == '_'))
      result.push_back(text_[position_++]);
    if (result.empty()) return std::nullopt;
    return result;
  }
  size_t column() const { return position_ + 1; }

private:
  const std::string& text_;
  size_t position_ = 0;
};

} // namespace

std::optional<Requirement> Requirement::parse(const std::string& text, std::string& error) {
  Requirement requirement;
  Scanner scanner(text);
  scanner.accept("=");
  do {
    Clause clause{};
    if (scanner.accept("anchor apple generic")) {
      clause.kind = Clause::Kind::anchorAppleGeneric;
    } else if (scanner.accept("anchor apple")) {
      clause.kind = Clause::Kind::anchorApple;
    } else if (scanner.accept("identifier")) {
      scanner.accept("=");
      auto value = scanner.value();
      if (!value) break;
      clause.kind = Clause::Kind::identifier;
      clause.value = *value;
    } else if (scanner.accept("certificate leaf[subject.OU]")) {
      if (!scanner.accept("=")) break;
      auto value = scanner.value();
      if (!value) break;
      clause.kind = Clause::Kind::teamIdentifier;
      clause.value = *value;
    } else if (scanner.accept("certificate leaf[field.1.2.840.113635.100.6.1.13]")) {
      clause.kind = Clause::Kind::developerIDLeaf;
    } else if (scanner.accept("certificate 1[field.1.2.840.113635.100.6.2.6]")) {
      clause.kind = Clause::Kind::developerIDIntermediate;
    } else {
      break;
    }
    requirement.clauses_.push_back(clause);
    if (scanner.atEnd()) return requirement;
  } while (scanner.accept("and"));
  error = "line 1:" + std::to_string(scanner.column()) + ": unexpected token";
  return std::nullopt;
}

bool Requirement::isSatisfiedBy(const CodeSignature& signature) const {
  const std::string authority = signature.authority.value_or("");
  const bool developerID = authority.rfind("Developer ID ", 0) == 0;
  for (const auto& clause : clauses_) {
    switch (clause.kind) {
    case Clause::Kind::anchorAppleGeneric:
      if (signature.isAdHoc()) return false;
      break;
    case Clause::Kind::anchorApple:
      return false; // only the system's own code is anchored at Apple itself
    case Clause::Kind::identifier:
      if (signature.identifier != clause.value) return false;
      break;
    case Clause::Kind::teamIdentifier:
      if (signature.teamIdentifier.value_or("") != clause.value) return false;
      break;
    case Clause::Kind::developerIDLeaf:
      if (authority.rfind("Developer ID Application:", 0) != 0) return false;
      break;
    case Clause::Kind::developerIDIntermediate:
      if (!developerID) return false;
      break;
    }
  }
  return true;
}

} // namespace macsim
