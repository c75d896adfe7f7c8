#pragma once
// The window's side of pages that need a browser: the reader's choice of when pages are read in one (the menu of
// "下载" and "合并"), the engine main() hands over, and the fetcher every job and download of the window uses,
// which reads the choice at every page.
#include "chapter/book.h"
#include "chapter/page_browser.h"

#include <atomic>
#include <memory>

namespace lekto {

struct WindowBrowser {
  std::atomic<BrowserUse> use{BrowserUse::kAuto};
  PageBrowser read;  // set once, before the window runs any job; empty without an engine

  BrowserChoice Choice() const { return {use.load(), read}; }
};

// `plain`, with every page read as FetchThroughBrowser reads it under the choice in force at that page.
Fetcher BrowsingFetcher(Fetcher plain, std::shared_ptr<const WindowBrowser> browser);

}  // namespace lekto
