#include "core/Inspection/InspectionStatus.hpp"

namespace halyard {

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

} // namespace halyard
