#pragma once

#include <string>

namespace macsim {

// Whether a file's text is a PEM private key the notary service would take: a PRIVATE KEY
// (PKCS #8) or EC PRIVATE KEY (SEC 1) block whose base64 body is a well-formed DER structure
// of that kind.
struct PrivateKeyPEM {
  static bool isPrivateKey(const std::string& text);
};

} // namespace macsim
