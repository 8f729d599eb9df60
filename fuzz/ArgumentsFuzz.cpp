// Command lines of arbitrary bytes: the input is split at NUL bytes into arguments. Parsing either
// succeeds or throws the usage error; the error's message, redacted and as a JSON line, is always
// well-formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/console/CLIError.hpp"
#include "cli/console/Console.hpp"
#include "cli/console/Redactor.hpp"
#include "cli/settings/ParsedArguments.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      arguments.emplace_back();
    else
      arguments.back().push_back(static_cast<char>(data[i]));
  }
  std::string message;
  try {
    const bosun::ParsedArguments parsed(arguments);
    message = parsed.command.value_or("");
  } catch (const bosun::CLIError& error) {
    if (error.code() != bosun::ExitCode::usage) std::abort();
    message = error.message();
  }
  const std::string line = bosun::Console::eventLine(
      "error", {{"message", bosun::Redactor::redact(message)}}, "2026-01-01T00:00:00Z");
  if (!nlohmann::json::accept(line)) std::abort();
  return 0;
}
