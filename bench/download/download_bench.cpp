// Times `lekto-cli download` over a 1000-chapter book served with a fixed delay per request, against
// `curl --parallel --parallel-max 6` fetching the same chapter pages: wall time, CPU time and peak memory of
// each child process. The ideal wall time is chapters / 6 x delay. The book and chapter files go under the
// temporary folder (TMPDIR): on a disk busy with other work, creating a thousand files can cost more system time
// than everything else together, so compare runs on the same kind of folder (TMPDIR=/dev/shm measures the
// program alone).
//
// usage: bench_download [LEKTO_CLI SITE_FOLDER TOC_PATH]
//   SITE_FOLDER is served at /; TOC_PATH is the table of contents' path under it. Without arguments: the lekto-cli
//   of this build and the fixture site's /big1000/index.html. The chapter URLs curl fetches are read from
//   lekto-cli's own `toc` listing, so both fetch exactly the same pages.
#include "support/test_server.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kDelayMs = 20;
constexpr int kWorkers = 6;

struct ChildRun {
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user + system
  long peakKb = 0;        // maximum resident set size
  int exitCode = -1;
};

// Runs `argv` with stdout sent to `stdoutPath` and stderr to /dev/null, and measures it with wait4.
ChildRun Run(const std::vector<std::string>& argv, const std::string& stdoutPath) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  ChildRun run;
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.cpuSeconds =
      usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  run.peakKb = usage.ru_maxrss;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void Print(const char* name, const ChildRun& run) {
  std::printf("%-10s wall %6.2f s   cpu %6.2f s   peak %7.1f MB   exit %d\n", name, run.wallSeconds, run.cpuSeconds,
              run.peakKb / 1024.0, run.exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 1 && argc != 4) {
    std::fprintf(stderr, "usage: %s [LEKTO_CLI SITE_FOLDER TOC_PATH]\n", argv[0]);
    return 2;
  }
  const std::string cli = argc == 4 ? argv[1] : LEKTO_CLI;
  const std::string site = argc == 4 ? argv[2] : LEKTO_FIXTURE_SITE;
  const std::string tocPath = argc == 4 ? argv[3] : "/big1000/index.html";

  lekto::testsupport::TestServer server;
  server.ServeStatic("/", site);
  const std::string tocUrl = server.HttpUrl(tocPath);
  const fs::path scratch = fs::temp_directory_path() / ("lekto-bench-" + std::to_string(::getpid()));
  fs::create_directories(scratch);

  // The chapter links, from the listing: ID, TAB, title, TAB, link.
  Run({cli, "toc", tocUrl}, (scratch / "toc.txt").string());
  std::ofstream config(scratch / "curl.cfg");
  int chapters = 0;
  for (const std::string& line : ReadLines((scratch / "toc.txt").string())) {
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string::npos) continue;
    config << "url = \"" << line.substr(tab + 1) << "\"\noutput = \"/dev/null\"\n";
    ++chapters;
  }
  config.close();
  if (chapters == 0) {
    std::fprintf(stderr, "no chapters listed at %s\n", tocUrl.c_str());
    return 1;
  }

  server.SetDelay(kDelayMs);
  server.ClearRequests();
  const ChildRun curl = Run({"curl", "--silent", "--parallel", "--parallel-max", std::to_string(kWorkers), "--config",
                             (scratch / "curl.cfg").string()},
                            "/dev/null");
  server.ClearRequests();
  const ChildRun lekto =
      Run({cli, "download", tocUrl, "--dir", (scratch / "book").string()}, (scratch / "download.txt").string());
  const int lektoChapterRequests = server.MaxConcurrent("/");

  const double ideal = chapters * kDelayMs / 1000.0 / kWorkers;
  std::printf("%d chapters, %d ms per request, %d at once: ideal %.2f s\n", chapters, kDelayMs, kWorkers, ideal);
  Print("curl", curl);
  Print("lekto-cli", lekto);
  std::printf("lekto-cli / curl wall %.3f (target <= 1.05), / ideal %.3f; cpu / wall %.3f; most requests at once %d\n",
              lekto.wallSeconds / curl.wallSeconds, lekto.wallSeconds / ideal, lekto.cpuSeconds / lekto.wallSeconds,
              lektoChapterRequests);
  std::printf("cpu per chapter: lekto-cli %.3f ms (target <= 0.3), curl %.3f ms\n", lekto.cpuSeconds * 1000 / chapters,
              curl.cpuSeconds * 1000 / chapters);
  const std::vector<std::string> output = ReadLines((scratch / "download.txt").string());
  std::printf("book: %s\n", output.empty() ? "(none)" : output.back().c_str());
  std::error_code error;
  fs::remove_all(scratch, error);
  return lekto.exitCode == 0 ? 0 : 1;
}
