// The command line's browser: the engine where this build has one, none otherwise.
#include "cli/command.h"

#if LEKTO_HAVE_BROWSER
#include "browser/browser_engine.h"
#endif

namespace lekto::cli {

PageBrowser BuiltInBrowser() {
#if LEKTO_HAVE_BROWSER
  return browser::EnginePageBrowser();
#else
  return {};
#endif
}

void EndBuiltInBrowser() {
#if LEKTO_HAVE_BROWSER
  browser::ShutDownEngine();
#endif
}

}  // namespace lekto::cli
