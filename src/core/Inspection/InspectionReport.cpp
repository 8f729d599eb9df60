#include "core/Inspection/InspectionReport.hpp"

#include <utility>

namespace halyard {

namespace {
// The first `count` characters (code points) of UTF-8 text.
std::string prefixCharacters(const std::string& text, int count) {
  std::size_t end = 0;
  int characters = 0;
  while (end < text.size() && characters < count) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      ++end;
    ++characters;
  }
  return text.substr(0, end);
}

std::string withLineFeedsReplaced(const std::string& text) {
  std::string result;
  for (const char c : text) {
    if (c == '\n')
      result += " | ";
    else
      result += c;
  }
  return result;
}
} // namespace

InspectionReport::InspectionReport(std::filesystem::path fileURL, InspectionFileKind kind,
                                   std::optional<std::string> appName,
                                   std::vector<InspectionCategory> categories, int score,
                                   InspectionVerdict verdict,
                                   std::optional<std::string> scoreNotice,
                                   std::chrono::system_clock::time_point date)
    : fileURL_(std::move(fileURL)), kind_(kind), appName_(std::move(appName)),
      categories_(std::move(categories)), score_(score), verdict_(verdict),
      scoreNotice_(std::move(scoreNotice)), date_(date) {}

std::string InspectionReport::fileName() const {
  return fileURL_.filename().string();
}

std::vector<InspectionField> InspectionReport::allFields() const {
  std::vector<InspectionField> fields;
  for (const auto& category : categories_)
    fields.insert(fields.end(), category.fields.begin(), category.fields.end());
  return fields;
}

std::optional<InspectionField> InspectionReport::field(InspectionFieldID id) const {
  for (const auto& category : categories_) {
    for (const auto& field : category.fields) {
      if (field.id() == id) return field;
    }
  }
  return std::nullopt;
}

std::string InspectionReport::kitSummary(int maxDetail) const {
  std::string text =
      "Inspection report for " + fileName() + " (" + std::string(rawValue(kind_)) + ")";
  if (appName_) text += ", containing " + *appName_;
  text += ".\nTrust score " + std::to_string(score_) + "% - " + std::string(title(verdict_)) + ".";
  if (scoreNotice_) text += " " + *scoreNotice_;
  for (const auto& category : categories_) {
    text += "\n[" + category.title + "] " + category.summary;
    for (const auto& field : category.fields) {
      text += "\n- " + field.title() + " (" + std::string(kitLabel(field.status())) +
              "): " + field.value();
      if (maxDetail > 0 && field.detail())
        text +=
            " - details: " + prefixCharacters(withLineFeedsReplaced(*field.detail()), maxDetail);
    }
  }
  return text;
}

} // namespace halyard
