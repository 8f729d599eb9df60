#pragma once

#include "core/Support/Error.hpp"

namespace halyard {

// Thrown by an operation that stopped because its work was cancelled (the run is being torn down
// after Ctrl-C or SIGTERM). The front end turns it into the "cancelled" exit code.
class CancellationError : public Error {
public:
  CancellationError() : Error("Halyard.cancelled", 0, "Cancelled.") {}
};

} // namespace halyard
