#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/Support/Error.hpp"

namespace halyard {

// Errors of the HTTPS client: domain "Halyard.https"; the description says what went wrong
// (the network library's own text where it has one).
class HTTPSError : public Error {
public:
  explicit HTTPSError(const std::string& description) : Error("Halyard.https", 1, description) {}
};

// Plain HTTPS GET requests for self-update, over libcurl. The library is loaded with dlopen on
// the first request, so a run that never touches the network never loads it.
//
// Every request: HTTPS only (redirects too, at most five of them), certificate and host name
// verification always on, no local cache, the caller's time-out both for connecting and for a
// stall (less than one byte per second for that long), and a size cap after which the transfer
// is abandoned. BOSUN_UPDATE_CA_FILE, when set and not empty, names a PEM file whose
// certificates are the trust anchors instead of the system's (tests serve from a certificate
// they made).
struct HTTPSClient {
  struct Response {
    long status = 0;  // the final HTTP status
    std::string body; // get() only
  };
  // The body in memory; the time-out also bounds the whole request. Throws HTTPSError when the
  // request fails below HTTP (no connection, bad certificate, time-out, too large).
  static Response get(const std::string& url, double timeout, std::uintmax_t maxBytes);
  // The body written to `file` (created or truncated, mode 0600).
  static Response download(const std::string& url, const std::filesystem::path& file,
                           double timeout, std::uintmax_t maxBytes);
};

} // namespace halyard
