// When the core asks the browser: a check page, a login notice in place of a chapter, and the fetcher that hands
// check pages to the browser. The browser here is a function that serves pages from memory: the decisions are
// the core's, the engine is tested with the real one in tests/browser.
#include "chapter/page_browser.h"

#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lekto {
namespace {

http::Response Answer(int status, std::string body) {
  return http::Response::Answered(std::move(body), status);
}

TEST(PageBrowserTest, TellsCheckPagesFromErrorPagesAndChapters) {
  struct Case {
    const char* name;
    http::Response response;
    bool check;
  };
  const std::string chapter =
      "<html><head><title>x</title></head><body>" + std::string(5000, 'x') + "Checking your browser</body></html>";
  const std::vector<Case> cases = {
      {"503 with a script", Answer(503, "<html><script>document.cookie='a=1';location.reload()</script>"), true},
      {"403 with a script in capitals", Answer(403, "<SCRIPT src=/c.js></SCRIPT>"), true},
      {"503 without a script is a busy server", Answer(503, "Service Unavailable"), false},
      {"404 with a script is an error page", Answer(404, "<script>ga()</script>"), false},
      {"known title at 200", Answer(200, "<title>Just a moment...</title>"), true},
      {"Chinese shape in UTF-8", Answer(200, reinterpret_cast<const char*>(u8"<p>正在检查您的浏览器</p>")), true},
      {"Chinese shape in GBK", Answer(200, text::Gbk(u8"<p>正在检查您的浏览器</p>")), true},
      {"a chapter mentioning it far down", Answer(200, chapter), false},
      {"no answer", http::Response(), false},
  };
  for (const Case& c : cases) EXPECT_EQ(LooksLikeCheckPage(c.response), c.check) << c.name;
}

TEST(PageBrowserTest, TakesOnlyShortLoginNoticesForMissingChapters) {
  EXPECT_TRUE(LooksLikeLoginNotice(text::Gbk(u8"本章为会员章节，请登录后阅读。")));
  EXPECT_TRUE(LooksLikeLoginNotice("This chapter is locked. Please log in to continue reading."));
  EXPECT_FALSE(LooksLikeLoginNotice(text::Gbk(u8"他推开门，雪落了一地。")));
  // A chapter that tells of logging in is a chapter.
  std::string story;
  for (int i = 0; i < 30; ++i) story += text::Gbk(u8"她说请登录后再看，他笑了笑没有回答。");
  EXPECT_FALSE(LooksLikeLoginNotice(story));
  EXPECT_TRUE(TextLooksMissing(text::Gbk(u8"加载中……")));
  EXPECT_FALSE(TextLooksMissing(story));
}

TEST(PageBrowserTest, HandsOnlyCheckPagesToTheBrowserInAuto) {
  std::vector<std::string> plainAsked;
  std::vector<std::string> browserAsked;
  const Fetcher plain = [&](const std::string& url) {
    plainAsked.push_back(url);
    return url == "check" ? Answer(503, "<script>location.reload()</script>") : Answer(200, "plain " + url);
  };
  const PageBrowser browser = [&](const std::string& url) {
    browserAsked.push_back(url);
    return Answer(200, "browser " + url);
  };
  const Fetcher automatic = FetchThroughBrowser(plain, {BrowserUse::kAuto, browser});
  EXPECT_EQ(automatic("page").body, "plain page");
  EXPECT_EQ(automatic("check").body, "browser check");
  EXPECT_EQ(browserAsked, std::vector<std::string>{"check"});

  EXPECT_EQ(FetchThroughBrowser(plain, {BrowserUse::kAlways, browser})("page").body, "browser page");
  EXPECT_EQ(FetchThroughBrowser(plain, {BrowserUse::kNever, browser})("check").status, 503);
  // Without an engine every choice fetches plainly.
  EXPECT_EQ(FetchThroughBrowser(plain, {BrowserUse::kAlways, {}})("page").body, "plain page");
  EXPECT_EQ(plainAsked, (std::vector<std::string>{"page", "check", "check", "page"}));
}

}  // namespace
}  // namespace lekto
