#include "core/Support/HalyardCoreLog.hpp"

namespace halyard {

HalyardCoreLog::ProcessHook HalyardCoreLog::processLaunched;
HalyardCoreLog::ProcessHook HalyardCoreLog::processExited;
HalyardCoreLog::MessageHook HalyardCoreLog::note;
HalyardCoreLog::MessageHook HalyardCoreLog::debug;
std::function<bool()> HalyardCoreLog::debugEnabled;

} // namespace halyard
