#pragma once

#include "ToolContext.hpp"

namespace macsim {

// The personalities of the multi-call executable. Each returns the tool's exit status and may
// throw ToolFailure.
int runCodesign(const ToolContext& context);
int runSecurity(const ToolContext& context);
int runSpctl(const ToolContext& context);
int runXcrun(const ToolContext& context);
int runNotarytool(const ToolContext& context);
int runStapler(const ToolContext& context);
int runDitto(const ToolContext& context);
int runXattr(const ToolContext& context);
int runShasum(const ToolContext& context);
int runLipo(const ToolContext& context);
int runHdiutil(const ToolContext& context);
int runDiskutil(const ToolContext& context);
int runPkgutil(const ToolContext& context);
int runPkgbuild(const ToolContext& context);
int runProductbuild(const ToolContext& context);
int runProductsign(const ToolContext& context);
int runOsascript(const ToolContext& context);
int runSysctl(const ToolContext& context);

} // namespace macsim
