#pragma once

#include <string_view>

namespace halyard {

// The judgement of one inspected fact.
enum class InspectionStatus { pass, warning, fail, info };

// The short label shown beside a fact: "OK", "Warning", "Problem", "Info".
std::string_view kitLabel(InspectionStatus status);

} // namespace halyard
