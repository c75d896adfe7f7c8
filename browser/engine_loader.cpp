// The programs' side of the browser engine: the module is loaded on first need (a page that needs a browser, or
// a window preparing for one), from beside the build's programs or from the installed library folder, and handed
// the program's own cookie store and check-page test.
#include "browser/browser_engine.h"

#include "browser/engine_module.h"
#include "chapter/page_browser.h"

#include <dlfcn.h>
#include <unistd.h>

#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace lekto::browser {
namespace {

std::vector<http::StoredCookie> CookiesInStoreOfProgram() {
  return http::CookiesInStore();
}

void AddToStoreOfProgram(const std::vector<http::StoredCookie>& cookies) {
  http::AddToCookieStore(cookies);
}

bool LooksLikeCheckPageToProgram(const http::Response& response) {
  return LooksLikeCheckPage(response);
}

// Whether the module was loaded at all: ending an engine that never started must not load it.
std::atomic<bool> moduleLoaded{false};

const EngineHost kHost{CookiesInStoreOfProgram, AddToStoreOfProgram, LooksLikeCheckPageToProgram};

// An installed program finds the module in its prefix's library folder (bin/../lib/lekto/, whatever the prefix);
// a program of the build tree, the module its build made.
std::string ModulePath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    const std::filesystem::path installed = self.parent_path() / ".." / LEKTO_ENGINE_INSTALLED;
    if (std::filesystem::exists(installed, error)) return installed.lexically_normal().string();
  }
  return LEKTO_ENGINE_BUILT;
}

// The module's API, loaded once; null when it cannot be loaded (said once on stderr).
const EngineApi* Api() {
  static const EngineApi* const api = []() -> const EngineApi* {
    const std::string path = ModulePath();
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      std::fprintf(stderr, "lekto: the browser engine %s cannot be loaded: %s\n", path.c_str(), ::dlerror());
      return nullptr;
    }
    // Never closed: Chromium's threads live as long as the process.
    const auto entry = reinterpret_cast<EngineEntry>(::dlsym(module, kEngineEntryName));
    moduleLoaded = true;
    return entry != nullptr ? entry(&kHost) : nullptr;
  }();
  return api;
}

}  // namespace

void PrepareProcessForEngine() {
  // Chromium's sandbox refuses to run as root; a machine that runs Lekto as root (a container, CI) reads pages
  // without it. The module is not loaded for this: a program that never meets such a page never loads it.
  if (::geteuid() == 0) ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  ::setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3", 0);
}

PageBrowser EnginePageBrowser() {
  return [](const std::string& url) {
    const EngineApi* api = Api();
    if (api == nullptr) {
      http::Response failed;
      failed.error = http::TransferError::kOther;
      return failed;
    }
    return api->read(url);
  };
}

void ShutDownEngine() {
  if (!moduleLoaded) return;
  if (const EngineApi* api = Api()) api->shutDown();
}

void SetEngineLimitsForTests(const EngineLimits& limits) {
  if (const EngineApi* api = Api()) api->setLimits(limits);
}

}  // namespace lekto::browser
