#include "core/Inspection/InspectionVerdict.hpp"

namespace halyard {

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
