// WebRequest on loopback against the curl command-line tool, same server, same run:
//   - 1000 small GETs from 6 threads, connections reused and not;
//   - one 100 MB body.
// Each figure is the median of five rounds. Prints a table; exits non-zero when a body comes back wrong.
#include "http/web_request.h"
#include "http/web_request_testing.h"
#include "support/test_server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using lekto::testsupport::TestServer;

constexpr int kSmallRequests = 1000;
constexpr int kThreads = 6;
constexpr std::size_t kBigBody = 100u << 20;
constexpr int kRounds = 5;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Seconds for kSmallRequests GETs of `url` spread over kThreads threads.
double WebRequestSmall(const std::string& url, bool reuse) {
  lekto::http::TransferLimits limits = lekto::http::TransferLimitsInForce();
  limits.reuseConnections = reuse;
  lekto::http::SetTransferLimitsForTests(limits);
  std::atomic<int> next{0};
  std::atomic<int> wrong{0};
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      while (next.fetch_add(1) < kSmallRequests) {
        if (lekto::http::WebRequest(url) != "hello") ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const double seconds = Seconds(start);
  if (wrong > 0) {
    std::fprintf(stderr, "%d small bodies were wrong\n", wrong.load());
    std::exit(1);
  }
  return seconds;
}

// Seconds for the curl tool to fetch the same list with 6 transfers at a time.
double CurlSmall(const std::string& url, bool reuse, const std::filesystem::path& folder) {
  const std::filesystem::path list = folder / (reuse ? "reuse.cfg" : "fresh.cfg");
  {
    std::ofstream out(list);
    for (int i = 0; i < kSmallRequests; ++i) out << "url = \"" << url << "\"\noutput = \"/dev/null\"\n";
  }
  // Without reuse every answer closes its connection, as WebRequest's fresh connections do.
  const std::string command = std::string("curl -s --no-progress-meter --parallel --parallel-max 6 ") +
                              (reuse ? "" : "-H 'Connection: close' ") + "-K '" + list.string() + "'";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::exit(1);
  return Seconds(start);
}

double WebRequestBig(const std::string& url) {
  lekto::http::TransferLimits limits = lekto::http::TransferLimitsInForce();
  limits.reuseConnections = true;
  limits.maxBodyBytes = kBigBody + 1;
  lekto::http::SetTransferLimitsForTests(limits);
  const auto start = Clock::now();
  const std::size_t size = lekto::http::WebRequest(url).size();
  const double seconds = Seconds(start);
  if (size != kBigBody) {
    std::fprintf(stderr, "big body: %zu bytes\n", size);
    std::exit(1);
  }
  return seconds;
}

double CurlBig(const std::string& url) {
  const std::string command = "curl -s -o /dev/null '" + url + "'";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::exit(1);
  return Seconds(start);
}

}  // namespace

int main() {
  TestServer server;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("lekto-http-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string small = server.HttpUrl("/hello");
  const std::string big = server.HttpUrl("/bytes?size=" + std::to_string(kBigBody));
  WebRequestBig(big);  // the server builds its byte pattern on first use; keep that out of the figures

  std::vector<double> ours[3], theirs[3];
  for (int round = 0; round < kRounds; ++round) {
    ours[0].push_back(kSmallRequests / WebRequestSmall(small, true));
    theirs[0].push_back(kSmallRequests / CurlSmall(small, true, folder));
    ours[1].push_back(kSmallRequests / WebRequestSmall(small, false));
    theirs[1].push_back(kSmallRequests / CurlSmall(small, false, folder));
    ours[2].push_back(kBigBody / 1e6 / WebRequestBig(big));
    theirs[2].push_back(kBigBody / 1e6 / CurlBig(big));
  }
  std::filesystem::remove_all(folder);

  const char* names[3] = {"1000 small GETs, 6 threads, reuse (req/s)", "1000 small GETs, 6 threads, fresh (req/s)",
                          "one 100 MB body (MB/s)"};
  std::printf("%-46s %12s %12s %8s\n", "median of 5 rounds", "WebRequest", "curl tool", "ratio");
  for (int i = 0; i < 3; ++i) {
    const double a = Median(ours[i]);
    const double b = Median(theirs[i]);
    std::printf("%-46s %12.0f %12.0f %8.2f\n", names[i], a, b, a / b);
  }
  return 0;
}
