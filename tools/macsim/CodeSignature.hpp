#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace macsim {

// One code signature as the stand-ins record it. A bundle keeps it in
// _CodeSignature/CodeSignature (JSON) beside the resource seal _CodeSignature/CodeResources;
// a single file (Mach-O, script, disk image) keeps it in its FileTrailer under "signature".
// The cdhash is the SHA-256 of the record's canonical JSON, so a record changed by hand no
// longer matches its own cdhash.
struct CodeSignature {
  std::string identifier;
  std::string format;                   // "app bundle with Mach-O universal (x86_64 arm64)"
  std::optional<std::string> authority; // identity name; none for an ad hoc signature
  std::optional<std::string> teamIdentifier;
  std::string identityHash;
  // CodeDirectory option flags given with --options (never the ad hoc bit, which follows from
  // the missing authority).
  std::uint32_t optionFlags = 0;
  std::optional<std::string> timestamp;    // secure timestamp (ISO 8601, UTC)
  std::string signingTime;                 // ISO 8601, UTC
  std::optional<std::string> entitlements; // XML property list
  std::string codeDigest;                  // main executable or the file's own bytes
  std::string infoPlistDigest;             // bundles
  std::string resourcesDigest;             // bundles: SHA-256 of CodeResources
  int resourceCount = 0;
  int infoEntries = 0;

  static constexpr std::uint32_t runtimeFlag = 0x10000;

  bool isAdHoc() const { return !authority.has_value(); }
  bool runtime() const { return (optionFlags & runtimeFlag) != 0; }
  // The hex value and the names of every flag set, in ascending bit order:
  // "0x10000(runtime)", "0x10002(adhoc,runtime)", "0x12a00(kill,restrict,library-validation,
  // runtime)" or "0x0(none)".
  std::string flagsText() const;
  // The bit of one name `--options` takes (kill, hard, host, expires, restrict, library,
  // library-validation, runtime, linker-signed); none for another word.
  static std::optional<std::uint32_t> optionFlag(const std::string& name);
  std::string cdhash() const;
  bool allowsDebugging() const; // com.apple.security.get-task-allow is true

  nlohmann::json toJson() const; // includes "cdhash"
  // Also reports whether the stored cdhash matches the record.
  static CodeSignature fromJson(const nlohmann::json& json, bool& intact);
};

} // namespace macsim
