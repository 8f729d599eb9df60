#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console/ExitCode.hpp"

namespace bosun {

// One line of the configuration help: a setting's key, environment variable and title.
struct ConfigurationHelpRow {
  std::string key;
  std::string environment;
  std::string title;
};

// `bosun help [topic]`, `--help` and the version string. The texts are built on first use and kept.
struct HelpCommand {
  // The address printed after "Full guide: " at the end of the general help.
  static constexpr std::string_view kGuideAddress = "https://bosun.example.com/guide";

  // Prints the text of `topic` (the general help when absent) on standard output in text mode,
  // nothing in JSON mode, and returns success; an unknown topic prints a usage failure and
  // returns usage.
  static ExitCode run(const std::optional<std::string>& topic);

  // The text of a topic, matched lower-cased, or no value when there is none. Topics: the
  // commands, "exit-codes", "config" and "configuration".
  static std::optional<std::string> text(const std::optional<std::string>& topic);

  // The program's version: the build's project version, "1.0.0" when the build has none.
  static std::string version();

  static const std::string& generalText();
  static const std::string& exitCodeText();
  // The configuration help for these rows (the settings table, in order).
  static std::string configurationText(const std::vector<ConfigurationHelpRow>& rows);
};

} // namespace bosun
