#include "ToolFailure.hpp"
#include "Tools.hpp"

namespace macsim {

// Personalities that are not modelled yet answer with a clear failure.
namespace {
int pending(const ToolContext& context) {
  throw ToolFailure(context.tool + ": not available in the stand-in tools yet", 69);
}
} // namespace

int runDiskutil(const ToolContext& context) {
  return pending(context);
}
int runPkgbuild(const ToolContext& context) {
  return pending(context);
}
int runProductbuild(const ToolContext& context) {
  return pending(context);
}
int runOsascript(const ToolContext& context) {
  return pending(context);
}

} // namespace macsim
