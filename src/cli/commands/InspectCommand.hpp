#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/console/ExitCode.hpp"
#include "cli/settings/ParsedArguments.hpp"
#include "core/Inspection/InspectionReport.hpp"

namespace bosun {

// `bosun inspect <file.dmg | file.pkg>`: the trust report of a received file, as text on
// standard output or as one JSON "report" event. Exit code 14 when any fact failed.
struct InspectCommand {
  static ExitCode run(const ParsedArguments& parsed);

  // The file to inspect, after the argument checks (each failure is a CLIError).
  static std::filesystem::path checkedFile(const ParsedArguments& parsed);

  // The payload of the "report" event.
  static nlohmann::json reportObject(const halyard::InspectionReport& report);

  // The text report, one line per entry; with `verbose` each field's detail follows it.
  static std::vector<std::string> textLines(const halyard::InspectionReport& report, bool verbose);

  // success, or verification when any field failed.
  static ExitCode exitCode(const halyard::InspectionReport& report);
};

} // namespace bosun
