// What the import reads from outside: codesign's output about an existing signature, and a
// prepared-import report in JSON. The first byte picks the statuses of the two codesign runs.
#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "core/Import/CodeSignScanner.hpp"
#include "core/Import/PreparedImportReport.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const int32_t metadataStatus = (data[0] & 0x0F) - 2;
  const int32_t verifyStatus = (data[0] >> 4) - 2;
  const auto half = text.size() / 2;
  const halyard::ToolProcessResult metadata{metadataStatus, text.substr(0, half / 2),
                                            text.substr(half / 2, half - half / 2)};
  const halyard::ToolProcessResult verify{verifyStatus, "", text.substr(half)};
  const auto inspection = halyard::CodeSignScanner::inspectSignature(
      halyard::CodeSignDetails::from(metadata), halyard::CodeSign::Verification{verify});
  // A signature is never both valid and ad hoc, and an invalid one always says why.
  if (inspection.valid && inspection.adHoc) __builtin_trap();
  if (!inspection.valid && (!inspection.note || inspection.note->empty())) __builtin_trap();

  const auto json = nlohmann::json::parse(text, nullptr, false);
  if (json.is_discarded()) return 0;
  try {
    const auto report = json.get<halyard::PreparedImportReport>();
    const nlohmann::json again = report;
    if (again.get<halyard::PreparedImportReport>().appURL != report.appURL) __builtin_trap();
  } catch (const nlohmann::json::exception&) {
  }
  return 0;
}
