#include "support/test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace lekto::testsupport {
namespace {

// A folder holding the certificate and key, created once per test process and removed at its end.
struct Certificate {
  std::filesystem::path folder;
  std::string certPath;
  std::string keyPath;

  Certificate() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lekto-cert-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a folder for the certificate");
    folder = pattern;
    certPath = (folder / "cert.pem").string();
    keyPath = (folder / "key.pem").string();
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1,DNS:localhost -keyout '" +
        keyPath + "' -out '" + certPath + "' 2>'" + (folder / "openssl.log").string() + "'";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not create the test certificate");
  }
  ~Certificate() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

const Certificate& TheCertificate() {
  static const Certificate certificate;
  return certificate;
}

// Reads one line from `fd`, giving up after `timeoutMs` without data.
std::string ReadLine(int fd, int timeoutMs) {
  std::string line;
  char c = 0;
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) break;
    if (read(fd, &c, 1) != 1 || c == '\n') break;
    line += c;
  }
  return line;
}

// One netstring ("LEN:BYTES,") from `data` at `pos`, advancing `pos`.
std::string NextField(const std::string& data, std::size_t& pos) {
  const std::size_t colon = data.find(':', pos);
  if (colon == std::string::npos) throw std::runtime_error("malformed request log");
  const std::size_t length = std::stoul(data.substr(pos, colon - pos));
  std::string field = data.substr(colon + 1, length);
  pos = colon + 1 + length + 1;
  return field;
}

}  // namespace

TestServer::TestServer() : TestServer(TestServerOptions{}) {}

TestServer::TestServer(const TestServerOptions& options) {
  const Certificate& certificate = TheCertificate();
  std::vector<std::string> args = {LEKTO_PYTHON3, LEKTO_TEST_SERVER_SCRIPT, "--cert", certificate.certPath,
                                   "--key",       certificate.keyPath};
  for (const auto& [prefix, folder] : options.staticRoots) {
    args.push_back("--static");
    args.push_back(prefix + "=" + folder);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The child's stdin stays open as long as this object lives; the server exits when it reaches end of file,
  // so a test process that dies leaves no server behind.
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    throw std::runtime_error("pipe failed");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
  const int spawned = posix_spawn(&pid_, LEKTO_PYTHON3, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  stdinFd_ = toChild[1];
  if (spawned != 0) {
    pid_ = -1;
    close(fromChild[0]);
    close(stdinFd_);
    throw std::runtime_error("cannot start " LEKTO_PYTHON3);
  }
  const std::string ready = ReadLine(fromChild[0], 30000);
  close(fromChild[0]);
  if (std::sscanf(ready.c_str(), "READY %d %d", &httpPort_, &httpsPort_) != 2) {
    Stop();
    throw std::runtime_error("the test server did not start: '" + ready + "'");
  }
  if (options.delayMs > 0) SetDelay(options.delayMs);
}

TestServer::~TestServer() {
  Stop();
}

void TestServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }
  if (stdinFd_ >= 0) {
    close(stdinFd_);
    stdinFd_ = -1;
  }
}

std::string TestServer::HttpUrl(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(httpPort_) + std::string(path);
}

std::string TestServer::HttpsUrl(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(httpsPort_) + std::string(path);
}

const std::string& TestServer::CertificatePath() {
  return TheCertificate().certPath;
}

void TestServer::ServeStatic(std::string_view urlPrefix, const std::string& folder) {
  Control("/__static?prefix=" + UrlEncode(urlPrefix) + "&dir=" + UrlEncode(folder));
}

void TestServer::AddFault(std::string_view path, std::string_view kind, int times) {
  Control("/__fault?path=" + UrlEncode(path) + "&kind=" + UrlEncode(kind) + "&times=" + std::to_string(times));
}

void TestServer::ClearFaults() {
  Control("/__faults_clear");
}

void TestServer::SetDelay(int ms) {
  Control("/__delay?ms=" + std::to_string(ms));
}

void TestServer::SetRandomDelay(int minMs, int maxMs) {
  Control("/__jitter?min=" + std::to_string(minMs) + "&max=" + std::to_string(maxMs));
}

std::vector<RecordedRequest> TestServer::Requests() const {
  const std::string log = Control("/__log");
  std::vector<RecordedRequest> requests;
  std::size_t pos = 0;
  while (pos < log.size()) {
    RecordedRequest r;
    r.method = NextField(log, pos);
    r.target = NextField(log, pos);
    r.headerBlock = NextField(log, pos);
    r.body = NextField(log, pos);
    r.secure = NextField(log, pos) == "1";
    requests.push_back(std::move(r));
  }
  return requests;
}

void TestServer::ClearRequests() {
  Control("/__reset");
}

int TestServer::MaxConcurrent(std::string_view pathPrefix) const {
  return std::stoi(Control("/__max?prefix=" + UrlEncode(pathPrefix)));
}

std::string TestServer::Control(std::string_view target) const {
  const std::string response =
      SendRaw(httpPort_, "GET " + std::string(target) + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
  const std::size_t bodyStart = response.find("\r\n\r\n");
  const std::string statusLine = response.substr(0, response.find("\r\n"));
  if (statusLine.find(" 200 ") == std::string::npos || bodyStart == std::string::npos) {
    throw std::runtime_error("control request " + std::string(target) + " failed: " + response.substr(0, 100));
  }
  return response.substr(bodyStart + 4);
}

std::string PatternBytes(std::size_t size) {
  constexpr std::size_t kPeriod = 1000003;  // the same as PATTERN_PERIOD in test_server.py
  std::string period(std::min(size, kPeriod), '\0');
  for (std::size_t j = 0; j < period.size(); ++j) {
    period[j] = static_cast<char>((static_cast<std::uint64_t>(j) * 2654435761u >> 13) & 0xFF);
  }
  std::string bytes;
  bytes.reserve(size);
  while (bytes.size() < size) bytes.append(period, 0, std::min(period.size(), size - bytes.size()));
  return bytes;
}

std::string SendRaw(int port, std::string_view request) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    throw std::runtime_error("cannot connect to the test server");
  }
  std::size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string response;
  char buffer[65536];
  while (true) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    response.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return response;
}

std::string UrlEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (unreserved || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace lekto::testsupport
