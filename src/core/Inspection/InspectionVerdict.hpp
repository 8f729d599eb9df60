#pragma once

#include <string_view>

namespace halyard {

enum class InspectionVerdict { trusted, caution, notTrusted };

// "Platform Trusted", "Use Caution", "Not Trusted".
std::string_view title(InspectionVerdict verdict);

// 80 and above is trusted, 50 to 79 calls for caution, below 50 is not trusted.
InspectionVerdict verdictForScore(int score);

} // namespace halyard
