#pragma once

#include <string>
#include <vector>

#include "core/Inspection/ReleaseCheckResult.hpp"

namespace bosun {

class Console;

// Prints the three check lines of a file, "Signing", "Notarization", "Stapling": a passed check
// with the passed mark, a failed one with the failed mark and its reason. Returns the problems,
// one "<label>: <reason>" per failed check, in that order.
std::vector<std::string> printCheckLines(Console& console,
                                         const halyard::ReleaseCheckResult& result);

} // namespace bosun
