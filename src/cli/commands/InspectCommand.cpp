#include "cli/commands/InspectCommand.hpp"

#include "cli/commands/InputFile.hpp"
#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/console/SignalHandler.hpp"
#include "cli/release/WindowPreview.hpp"
#include "cli/settings/StandardizedPath.hpp"
#include "core/Inspection/InspectionService.hpp"
#include "core/Support/Text.hpp"

namespace bosun {

namespace {
using halyard::InspectionStatus;

std::string_view mark(InspectionStatus status) {
  switch (status) {
  case InspectionStatus::pass:
    return "✓";
  case InspectionStatus::warning:
    return "!";
  case InspectionStatus::fail:
    return "✗";
  case InspectionStatus::info:
    return "·";
  }
  return "·";
}

nlohmann::json optionalText(const std::optional<std::string>& value) {
  return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}
} // namespace

std::filesystem::path InspectCommand::checkedFile(const ParsedArguments& parsed) {
  if (parsed.positionals.size() != 1)
    throw CLIError(ExitCode::usage, "inspect needs one .dmg or .pkg file.",
                   "Example: bosun inspect MyApp.dmg");
  const auto file = commandLinePath(parsed.positionals.front());
  InputFile::requireExisting(parsed.positionals.front(), file, parsed.positionals.front());
  const auto extension = halyard::text::lowercasedASCII(file.extension().string());
  if (extension != ".dmg" && extension != ".pkg")
    throw CLIError(ExitCode::input, "inspect works with .dmg and .pkg files.",
                   "Use `bosun verify` for an .app.");
  InputFile::requireReadableFile(file, parsed.positionals.front());
  return file;
}

nlohmann::json InspectCommand::reportObject(const halyard::InspectionReport& report) {
  auto categories = nlohmann::json::array();
  for (const auto& category : report.categories()) {
    auto fields = nlohmann::json::array();
    for (const auto& field : category.fields) {
      fields.push_back(
          {{"id", std::string(halyard::rawValue(field.id()))},
           {"title", field.title()},
           {"value", field.value()},
           {"status", halyard::text::lowercasedASCII(halyard::kitLabel(field.status()))},
           {"detail", optionalText(field.detail())}});
    }
    categories.push_back(
        {{"title", category.title}, {"summary", category.summary}, {"fields", fields}});
  }
  return {{"file", report.fileURL().string()},
          {"kind", std::string(halyard::rawValue(report.kind()))},
          {"app", optionalText(report.appName())},
          {"score", report.score()},
          {"verdict", std::string(halyard::title(report.verdict()))},
          {"notice", optionalText(report.scoreNotice())},
          {"categories", categories}};
}

std::vector<std::string> InspectCommand::textLines(const halyard::InspectionReport& report,
                                                   bool verbose) {
  std::vector<std::string> lines;
  std::string heading =
      report.fileName() + " (" + std::string(halyard::rawValue(report.kind())) + ")";
  if (report.appName()) heading += " - " + *report.appName();
  lines.push_back(heading);
  lines.push_back("Trust score " + std::to_string(report.score()) + "% - " +
                  std::string(halyard::title(report.verdict())));
  if (report.scoreNotice()) lines.push_back(*report.scoreNotice());
  for (const auto& category : report.categories()) {
    lines.push_back("");
    lines.push_back(category.title + ": " + category.summary);
    for (const auto& field : category.fields) {
      lines.push_back("  " + std::string(mark(field.status())) + " " + field.title() + ": " +
                      field.value());
      if (!verbose || !field.detail()) continue;
      std::size_t start = 0;
      const auto& detail = *field.detail();
      while (start <= detail.size()) {
        auto end = detail.find('\n', start);
        if (end == std::string::npos) end = detail.size();
        lines.push_back("      " + detail.substr(start, end - start));
        start = end + 1;
      }
    }
  }
  // Names and tool output come from the inspected file: never let them steer the terminal.
  for (auto& line : lines)
    line = halyard::text::printable(line);
  return lines;
}

ExitCode InspectCommand::exitCode(const halyard::InspectionReport& report) {
  for (const auto& field : report.allFields()) {
    if (field.status() == InspectionStatus::fail) return ExitCode::verification;
  }
  return ExitCode::success;
}

ExitCode InspectCommand::run(const ParsedArguments& parsed) {
  const auto file = checkedFile(parsed);
  const auto preview = parsed.value("preview");
  if (preview && halyard::inspectionFileKind(file) != halyard::InspectionFileKind::dmg)
    throw CLIError(ExitCode::usage, "--preview shows a DMG's window; a PKG has none.",
                   "Leave out --preview.");
  auto& console = Console::shared();
  console.step("Inspecting " + halyard::text::printable(file.filename().string()) + "…");
  // Once a cancellation has begun, the tools it stopped report failures that are no findings:
  // neither progress nor the report is printed, only the cancellation.
  auto& signals = SignalHandler::shared();
  std::optional<halyard::FinderWindowScene> window;
  halyard::InspectionService::WindowSeen windowSeen;
  if (preview) windowSeen = [&](const halyard::FinderWindowScene& seen) { window = seen; };
  const auto report = halyard::InspectionService::inspect(
      file,
      [&](const std::string& message) {
        if (!signals.isHandling()) console.step(halyard::text::printable(message));
      },
      halyard::InspectionRunner::standard(), windowSeen);
  signals.waitWhileHandling();
  if (console.isJSON()) {
    console.event("report", Redactor::redact(reportObject(report), {"file"}));
  } else {
    // Redacted as one text, so that a secret spanning lines (a PEM private key) is caught.
    console.result(
        Redactor::redact(halyard::text::joined(textLines(report, console.isVerbose()), "\n")));
  }
  if (preview) {
    if (!window)
      throw CLIError(ExitCode::input, "No preview was drawn: the DMG could not be mounted.",
                     "Check the report above for why it did not mount.");
    const std::filesystem::path destination = commandLinePath(*preview);
    WindowPreview::write(*window, destination);
    console.result(destination.string());
  }
  return exitCode(report);
}

} // namespace bosun
