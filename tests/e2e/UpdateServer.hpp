#pragma once
// A real HTTPS server on 127.0.0.1 for the self-update tests: Python's http.server behind TLS
// with a certificate made for it by `openssl req`. It serves the files of its folder, answers
// every request with an HTTP error while the file "status" holds one, and stops by itself after
// five minutes if nobody stops it first.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "BosunRun.hpp"

namespace bosun::testing {

class UpdateServer {
public:
  UpdateServer() : folder_("BosunUpdateServer_") {
    std::filesystem::create_directories(files() / "Bosun");
    RunOptions openssl;
    openssl.executable = "/usr/bin/openssl";
    openssl.arguments = {"req",
                         "-x509",
                         "-newkey",
                         "ec",
                         "-pkeyopt",
                         "ec_paramgen_curve:prime256v1",
                         "-nodes",
                         "-days",
                         "2",
                         "-subj",
                         "/CN=127.0.0.1",
                         "-addext",
                         "subjectAltName=IP:127.0.0.1",
                         "-keyout",
                         (folder() / "key.pem").string(),
                         "-out",
                         certificate().string()};
    openssl.baseEnvironment = {{"PATH", "/usr/bin:/bin"}};
    const auto made = runProgram(openssl);
    if (!made.exitedWith(0)) throw std::runtime_error("openssl req: " + made.standardError);
    std::ofstream(folder() / "server.py") << script;

    const std::string python = "/usr/bin/python3";
    std::vector<std::string> arguments = {python,
                                          (folder() / "server.py").string(),
                                          files().string(),
                                          certificate().string(),
                                          (folder() / "key.pem").string(),
                                          (folder() / "port").string(),
                                          "300"};
    std::vector<char*> argv;
    for (auto& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char* environment[] = {nullptr};
    const int error =
        posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw std::runtime_error("could not start " + python);
    // The server writes its port once it listens; wait at most 20 seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(folder() / "port")) {
      if (std::chrono::steady_clock::now() > deadline || ::waitpid(pid_, nullptr, WNOHANG) != 0)
        throw std::runtime_error("the HTTPS test server did not start");
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream(folder() / "port") >> port_;
  }

  ~UpdateServer() {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }

  UpdateServer(const UpdateServer&) = delete;
  UpdateServer& operator=(const UpdateServer&) = delete;

  std::string url() const { return "https://127.0.0.1:" + std::to_string(port_); }
  std::filesystem::path certificate() const { return folder() / "certificate.pem"; }
  // BOSUN_UPDATE_URL and BOSUN_UPDATE_CA_FILE for this server.
  std::map<std::string, std::string> environment() const {
    return {{"BOSUN_UPDATE_URL", url()}, {"BOSUN_UPDATE_CA_FILE", certificate().string()}};
  }

  // What the server holds: the manifest text, the disk image, an HTTP status for everything.
  void serveManifest(const std::string& text) const {
    std::ofstream(files() / "Bosun" / "latest.json", std::ios::binary) << text;
  }
  void serveImage(const std::filesystem::path& image) const {
    std::filesystem::copy_file(image, files() / "Bosun" / "Bosun.dmg",
                               std::filesystem::copy_options::overwrite_existing);
  }
  void answerAlways(int status) const { std::ofstream(folder() / "status") << status; }
  void reset() const {
    std::filesystem::remove(folder() / "status");
    std::filesystem::remove(files() / "Bosun" / "latest.json");
    std::filesystem::remove(files() / "Bosun" / "Bosun.dmg");
  }

private:
  std::filesystem::path folder() const { return folder_.path(); }
  std::filesystem::path files() const { return folder() / "files"; }

  static constexpr const char* script = R"PY(
import http.server, os, ssl, sys, threading
root, certificate, key, port_file, lifetime = sys.argv[1:6]
status_file = os.path.join(os.path.dirname(root), "status")

class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *arguments, **options):
        super().__init__(*arguments, directory=root, **options)
    def do_GET(self):
        if os.path.exists(status_file):
            self.send_error(int(open(status_file).read()))
            return
        super().do_GET()
    def log_message(self, *arguments):
        pass

server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
threading.Timer(float(lifetime), server.shutdown).start()
with open(port_file + ".partial", "w") as stream:
    stream.write(str(server.server_address[1]))
os.rename(port_file + ".partial", port_file)
server.serve_forever()
)PY";

  halyard::TemporaryFolder folder_;
  pid_t pid_ = -1;
  int port_ = 0;
};

} // namespace bosun::testing
