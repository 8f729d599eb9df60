#pragma once

#include <filesystem>
#include <string_view>

namespace halyard {

// The small value types of an inspection report.

// What was inspected.
enum class InspectionFileKind { dmg, pkg };

// "DMG" or "PKG".
std::string_view rawValue(InspectionFileKind kind);

// A file whose extension, lower-cased, is "pkg" is a package; everything else is a disk image.
InspectionFileKind inspectionFileKind(const std::filesystem::path& file);

// The judgement of one inspected fact.
enum class InspectionStatus { pass, warning, fail, info };

// The short label shown beside a fact: "OK", "Warning", "Problem", "Info".
std::string_view kitLabel(InspectionStatus status);

// The judgement of the whole file.
enum class InspectionVerdict { trusted, caution, notTrusted };

// "Platform Trusted", "Use Caution", "Not Trusted".
std::string_view title(InspectionVerdict verdict);

// 80 and above is trusted, 50 to 79 calls for caution, below 50 is not trusted.
InspectionVerdict verdictForScore(int score);

} // namespace halyard
