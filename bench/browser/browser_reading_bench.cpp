// Times browser readings of single pages of the fixture site: the first one (Chromium starting), the table of
// contents behind the browser check on its first visit (503, a cookie, a reload, the list built from JSON), then
// warm readings of a plain chapter page, a chapter whose text a script fetches and the list once the check is
// passed. Each warm figure is the median of several readings.
//
// usage: bench_browser_reading [READINGS]   (default 9)
#include "browser/browser_engine.h"
#include "support/test_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double SecondsOf(const lekto::PageBrowser& read, const std::string& url, bool& ok) {
  const auto start = std::chrono::steady_clock::now();
  const lekto::http::Response response = read(url);
  ok = response.Ok() && !response.body.empty();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int readings = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  lekto::testsupport::TestServer server;
  server.ServeStatic("/", LEKTO_FIXTURE_SITE);
  const lekto::PageBrowser read = lekto::browser::EnginePageBrowser();
  bool ok = false;
  std::printf("first reading (engine start + page): %.3f s\n", SecondsOf(read, server.HttpUrl("/utf8/1.html"), ok));
  // The check is met once: the browser keeps the cookie it earned.
  std::printf("table of contents behind the check, first visit: %.3f s\n",
              SecondsOf(read, server.HttpUrl("/script/index.html"), ok));
  const std::pair<const char*, const char*> pages[] = {
      {"plain chapter page", "/utf8/2.html"},
      {"chapter text fetched by script", "/script/4.html"},
      {"table of contents built from JSON", "/script/index.html"},
  };
  for (const auto& [name, path] : pages) {
    std::vector<double> times;
    for (int i = 0; i < readings; ++i) {
      times.push_back(SecondsOf(read, server.HttpUrl(path), ok));
      if (!ok) std::printf("  reading %d of %s failed\n", i + 1, path);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-36s median %.3f s, min %.3f s, max %.3f s (%d readings)\n", name, times[times.size() / 2],
                times.front(), times.back(), readings);
  }
  lekto::browser::ShutDownEngine();
  return 0;
}
