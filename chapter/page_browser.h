#pragma once
// Pages that need a browser: a list or a chapter text built by script, a "checking your browser" page in front of
// the site, a members' chapter behind a login. The core never runs a browser itself: it is handed a PageBrowser (a
// function object the front ends build over the browser engine), decides here when to ask it, and reads what it
// gives back exactly as it reads a fetched page.
#include "chapter/book.h"
#include "http/response.h"

#include <functional>
#include <string>
#include <string_view>

namespace lekto {

// When pages are read with the browser: where a fetched page plainly needs one (the default), every page, or never.
enum class BrowserUse { kAuto, kAlways, kNever };

// Reads the page at a URL in a browser, lets its scripts run until it is quiet and answers with the document as
// the scripts left it (status 200), or with the check page's status when the page still shows a check, or a
// transfer error when it could not be loaded. The cookies it earns go to the store plain fetches send from.
using PageBrowser = std::function<http::Response(const std::string& url)>;

struct BrowserChoice {
  BrowserUse use = BrowserUse::kAuto;
  PageBrowser read;  // empty where no browser engine is built in; then nothing is read with one

  bool MayFallBack() const { return use == BrowserUse::kAuto && static_cast<bool>(read); }
};

// Why a page that arrived gave no text, where a browser or the reader's cookies are the answer.
enum class PageProblem {
  kNone,
  kCheckPage,   // a "checking your browser" page that was not passed
  kNeedsLogin,  // a members' page: the text is behind a login
};

// Chinese characters and Latin words: the measure of a text in either script.
int TextUnits(std::string_view text);
// True when a chapter's cleaned text is too short to be any chapter (a "加载中" placeholder, nothing at all).
bool TextLooksMissing(std::string_view text);

// True when the page holds a script element: inline code, or one loaded from elsewhere.
bool CarriesScripts(std::string_view page);

// True for an answer that is a site's browser check, not the page: status 403, 429 or 503 with a script, or a
// page of the known shapes ("Just a moment...", "Checking your browser", "正在检查您的浏览器", the check services'
// markup) whatever its status; of a page answered 200 only the head (4 KB) is read.
bool LooksLikeCheckPage(const http::Response& response);

// True when a chapter's text (GBK, cleaned) is a login or subscription notice instead of the chapter: short, and
// asking the reader to log in ("请登录", "登录后阅读", "log in to read", ...). A chapter of any length is never
// taken for one.
bool LooksLikeLoginNotice(std::string_view text);

// The fetcher the pipeline is handed: `plain` alone with kNever; the browser alone with kAlways; with kAuto the
// plain fetch first, and the browser where its answer is a browser check. The pipeline never knows which read a page.
Fetcher FetchThroughBrowser(Fetcher plain, BrowserChoice choice);

}  // namespace lekto
