#include "core/Inspection/InspectionModel.hpp"

#include "core/Support/Text.hpp"

namespace halyard {

std::string_view rawValue(InspectionFileKind kind) {
  return kind == InspectionFileKind::pkg ? "PKG" : "DMG";
}

InspectionFileKind inspectionFileKind(const std::filesystem::path& file) {
  return text::lowercasedASCII(file.extension().string()) == ".pkg" ? InspectionFileKind::pkg
                                                                    : InspectionFileKind::dmg;
}

std::string_view kitLabel(InspectionStatus status) {
  switch (status) {
  case InspectionStatus::pass:
    return "OK";
  case InspectionStatus::warning:
    return "Warning";
  case InspectionStatus::fail:
    return "Problem";
  case InspectionStatus::info:
    return "Info";
  }
  return "Info";
}

std::string_view title(InspectionVerdict verdict) {
  switch (verdict) {
  case InspectionVerdict::trusted:
    return "Platform Trusted";
  case InspectionVerdict::caution:
    return "Use Caution";
  case InspectionVerdict::notTrusted:
    return "Not Trusted";
  }
  return "Not Trusted";
}

InspectionVerdict verdictForScore(int score) {
  if (score >= 80) return InspectionVerdict::trusted;
  if (score >= 50) return InspectionVerdict::caution;
  return InspectionVerdict::notTrusted;
}

} // namespace halyard
