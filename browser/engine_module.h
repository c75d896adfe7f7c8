#pragma once
// The boundary between the programs and the browser engine module (liblekto_browser_engine.so). The engine links
// Qt WebEngine, whose loading alone costs a program a third of a second and 40 MB; the programs load the module
// only when a page first needs a browser (engine_loader.cpp). The module holds no copy of the core: what it needs
// of it (the cookie store the plain fetches send from, the check-page test) it is handed here, so both sides work
// on the one store of the program.
#include "browser/browser_engine.h"
#include "http/cookie_file.h"
#include "http/response.h"

#include <string>
#include <vector>

namespace lekto::browser {

struct EngineHost {
  std::vector<http::StoredCookie> (*cookiesInStore)();
  void (*addToCookieStore)(const std::vector<http::StoredCookie>&);
  bool (*looksLikeCheckPage)(const http::Response&);
};

struct EngineApi {
  http::Response (*read)(const std::string& url);
  void (*shutDown)();
  void (*setLimits)(const EngineLimits& limits);
};

// The module's one exported symbol: `host` outlives the module.
using EngineEntry = const EngineApi* (*)(const EngineHost* host);
inline constexpr char kEngineEntryName[] = "LektoBrowserEngine";

}  // namespace lekto::browser
