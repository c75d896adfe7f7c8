#pragma once
// The browser engine behind the core's PageBrowser: Qt WebEngine (Chromium), in this module alone. It loads an
// address, lets the page's scripts run until the page is quiet (no request in flight and the document unchanged
// for a moment, 20 s at most) and hands back the document's HTML as the scripts left it, like a fetched page;
// the cookies it earned (a passed check) go to the store the plain fetches send from, and the store's cookies (the
// reader's own) go with every page it loads. Nothing here is started before the first page is read.
//
// In a program with a Qt application (the window) the engine lives on the application's thread; elsewhere (the
// command line) it runs a Qt event loop on a thread of its own, offscreen, so no display is needed. Pages are read
// by a small pool of browser pages, never more at once than the download workers. Any thread but the engine's own
// may read pages.
#include "chapter/page_browser.h"

#include <chrono>

namespace lekto::browser {

struct EngineLimits {
  std::chrono::milliseconds quiet{500};  // how long a page must stay quiet to count as done
  std::chrono::milliseconds cap{20000};  // a page still busy after this is taken as it stands
  int pages = 6;                         // browser pages reading at once
};

// A program with a Qt application of its own calls this, and sets Qt::AA_ShareOpenGLContexts, before creating the
// application, so that the engine can start in it later (the sandbox off when running as root, Chromium's log
// quiet). It does not load the engine. A program without a Qt application needs neither: the engine's own
// application does it.
void PrepareProcessForEngine();

// The process's engine as a PageBrowser. The first page read starts it.
PageBrowser EnginePageBrowser();

// Ends the engine of a program without a Qt application of its own, if it was started: its pages are closed and
// its thread joined. Chromium cannot be started twice in one process; reading pages after this gives transfer
// errors. Call it before the program returns from main.
void ShutDownEngine();

// Tests only: the limits of pages read from now on.
void SetEngineLimitsForTests(const EngineLimits& limits);

}  // namespace lekto::browser
