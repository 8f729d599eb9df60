#include "core/Updates/HTTPSClient.hpp"

#define CURL_DISABLE_TYPECHECK 1
#include <curl/curl.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "BosunVersion.hpp"

namespace halyard {

namespace {

// The few entry points of libcurl's stable C interface that a GET needs, found with dlsym.
struct CurlLibrary {
  CURLcode (*globalInit)(long) = nullptr;
  CURL* (*easyInit)() = nullptr;
  CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easyPerform)(CURL*) = nullptr;
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
  void (*easyCleanup)(CURL*) = nullptr;
  const char* (*easyStrerror)(CURLcode) = nullptr;
  curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
  void (*slistFreeAll)(curl_slist*) = nullptr;
  std::string loadError;
};

template <typename Function> bool bind(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(handle, name));
  return function != nullptr;
}

const CurlLibrary& curlLibrary() {
  static CurlLibrary library;
  static std::once_flag once;
  std::call_once(once, [] {
#if defined(__APPLE__)
    const char* names[] = {"libcurl.4.dylib", "/usr/lib/libcurl.4.dylib"};
#else
    const char* names[] = {"libcurl.so.4", "libcurl.so"};
#endif
    void* handle = nullptr;
    for (const char* name : names) {
      handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
      if (handle != nullptr) break;
    }
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      library.loadError = reason != nullptr ? reason : "not found";
      return;
    }
    const bool complete = bind(handle, "curl_global_init", library.globalInit) &&
                          bind(handle, "curl_easy_init", library.easyInit) &&
                          bind(handle, "curl_easy_setopt", library.easySetopt) &&
                          bind(handle, "curl_easy_perform", library.easyPerform) &&
                          bind(handle, "curl_easy_getinfo", library.easyGetinfo) &&
                          bind(handle, "curl_easy_cleanup", library.easyCleanup) &&
                          bind(handle, "curl_easy_strerror", library.easyStrerror) &&
                          bind(handle, "curl_slist_append", library.slistAppend) &&
                          bind(handle, "curl_slist_free_all", library.slistFreeAll);
    if (!complete) {
      library.loadError = "a libcurl entry point is missing";
      library.easyInit = nullptr;
      return;
    }
    // The update check may still be waiting on the network when the process exits. OpenSSL would
    // then free its global state from an exit handler under the running transfer; initialised
    // first without that handler, its state simply lives until the process is gone.
    using InitCrypto = int (*)(std::uint64_t, const void*);
    if (auto initCrypto = reinterpret_cast<InitCrypto>(::dlsym(handle, "OPENSSL_init_crypto")))
      initCrypto(0x00080000 /* OPENSSL_INIT_NO_ATEXIT */, nullptr);
    if (library.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      library.loadError = "curl_global_init failed";
      library.easyInit = nullptr;
    }
  });
  if (library.easyInit == nullptr)
    throw HTTPSError("The network library (libcurl) could not be loaded: " + library.loadError);
  return library;
}

// Where the body goes: memory or a descriptor, never more than `maxBytes`.
struct Sink {
  std::string* body = nullptr;
  int descriptor = -1;
  std::uintmax_t maxBytes = 0;
  std::uintmax_t received = 0;
  bool tooLarge = false;
  int writeErrno = 0;
};

size_t receive(char* data, size_t size, size_t count, void* context) {
  auto& sink = *static_cast<Sink*>(context);
  const size_t bytes = size * count;
  if (bytes > sink.maxBytes - sink.received) {
    sink.tooLarge = true;
    return 0;
  }
  sink.received += bytes;
  if (sink.body != nullptr) {
    sink.body->append(data, bytes);
    return bytes;
  }
  size_t written = 0;
  while (written < bytes) {
    const ssize_t result = ::write(sink.descriptor, data + written, bytes - written);
    if (result < 0) {
      if (errno == EINTR) continue;
      sink.writeErrno = errno;
      return 0;
    }
    written += static_cast<size_t>(result);
  }
  return bytes;
}

HTTPSClient::Response perform(const std::string& url, Sink& sink, double timeout, bool boundTotal) {
  if (url.rfind("https://", 0) != 0) throw HTTPSError("Only HTTPS addresses are used: " + url);
  const CurlLibrary& curl = curlLibrary();
  CURL* handle = curl.easyInit();
  if (handle == nullptr) throw HTTPSError("curl_easy_init failed");
  curl_slist* headers = curl.slistAppend(nullptr, "Cache-Control: no-cache");
  headers = curl.slistAppend(headers, "Pragma: no-cache");
  char errorText[CURL_ERROR_SIZE] = {};
  const long seconds = static_cast<long>(std::ceil(timeout));
  const long milliseconds = static_cast<long>(timeout * 1000);
  const std::string agent = std::string("Bosun/") + bosun::kProjectVersion;

  auto set = [&](CURLoption option, auto value) { return curl.easySetopt(handle, option, value); };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_ERRORBUFFER, errorText);
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_NOPROGRESS, 1L);
  // HTTPS and nothing else, for the request and for every redirect.
  if (set(CURLOPT_PROTOCOLS_STR, "https") != CURLE_OK) {
    // libcurl before 7.85 has only the older bit-mask options (numbers 181 and 182).
    set(static_cast<CURLoption>(CURLOPTTYPE_LONG + 181), static_cast<long>(CURLPROTO_HTTPS));
    set(static_cast<CURLoption>(CURLOPTTYPE_LONG + 182), static_cast<long>(CURLPROTO_HTTPS));
  } else {
    set(CURLOPT_REDIR_PROTOCOLS_STR, "https");
  }
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, 5L);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  const char* authorities = std::getenv("BOSUN_UPDATE_CA_FILE");
  if (authorities != nullptr && *authorities != '\0') set(CURLOPT_CAINFO, authorities);
  set(CURLOPT_CONNECTTIMEOUT_MS, milliseconds);
  set(CURLOPT_LOW_SPEED_LIMIT, 1L);
  set(CURLOPT_LOW_SPEED_TIME, seconds);
  if (boundTotal) set(CURLOPT_TIMEOUT_MS, milliseconds);
  set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(sink.maxBytes));
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_USERAGENT, agent.c_str());
  set(CURLOPT_WRITEFUNCTION, &receive);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&sink));

  const CURLcode result = curl.easyPerform(handle);
  long status = 0;
  curl.easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl.easyCleanup(handle);
  curl.slistFreeAll(headers);
  if (sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED)
    throw HTTPSError("The response from " + url + " is larger than " +
                     std::to_string(sink.maxBytes) + " bytes.");
  if (sink.writeErrno != 0)
    throw HTTPSError("Could not write the download: " +
                     std::string(std::strerror(sink.writeErrno)));
  if (result != CURLE_OK)
    throw HTTPSError(url + ": " + (*errorText != '\0' ? errorText : curl.easyStrerror(result)));
  return {status, {}};
}

} // namespace

HTTPSClient::Response HTTPSClient::get(const std::string& url, double timeout,
                                       std::uintmax_t maxBytes) {
  std::string body;
  Sink sink;
  sink.body = &body;
  sink.maxBytes = maxBytes;
  Response response = perform(url, sink, timeout, true);
  response.body = std::move(body);
  return response;
}

HTTPSClient::Response HTTPSClient::download(const std::string& url,
                                            const std::filesystem::path& file, double timeout,
                                            std::uintmax_t maxBytes) {
  const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (descriptor < 0)
    throw HTTPSError("Could not create " + file.string() + ": " + std::strerror(errno));
  Sink sink;
  sink.descriptor = descriptor;
  sink.maxBytes = maxBytes;
  Response response;
  try {
    response = perform(url, sink, timeout, false);
  } catch (...) {
    ::close(descriptor);
    throw;
  }
  if (::close(descriptor) != 0)
    throw HTTPSError("Could not write the download: " + std::string(std::strerror(errno)));
  return response;
}

} // namespace halyard
