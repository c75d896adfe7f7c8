#include "http/cookies.h"

#include <gtest/gtest.h>

namespace lekto::http {
namespace {

TEST(Cookies, MergeLetsNewItemsShadowOldOnes) {
  struct Case {
    const char* old;
    const char* fresh;
    const char* merged;
    const char* freshAfter;
  };
  const Case cases[] = {
      {"a=1; b=2", "b=3", "b=3; a=1", "b=3"},
      {"a=1", "a=deleted; c=5", "c=5", "a=deleted;c=5"},
      {"a=1; a=2", "", "a=1", ""},
      {"", "x=1; x=1", "x=1", "x=1;x=1"},
      {"a=hello world", "", "a=helloworld", ""},
      {"", "", "", ""},
      {"a=1;;b=2", "", "a=1; ; b=2", ""},
      {"a=1", "a=2; a=3", "a=2; a=3", "a=2;a=3"},
      {"a=1;\xA1\xA1"
       "b=2",
       "c=3 ", "c=3; a=1; b=2", "c=3"},
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      {"flag; x=1", "flag=deleted", "x=1", "flag=deleted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.old) + " | " + c.fresh);
    std::string old = c.old;
    std::string fresh = c.fresh;
    EXPECT_EQ(MergeCookies(old, fresh), c.merged);
    EXPECT_EQ(old, c.merged);
    EXPECT_EQ(fresh, c.freshAfter);
  }
}

TEST(Cookies, ListOperations) {
  EXPECT_EQ(CookieNameOf(" a = 1 "), "a");
  EXPECT_EQ(CookieNameOf("flag"), "flag");
  EXPECT_EQ(CookieNameOf("=v"), "");
  EXPECT_TRUE(HasCookieName({"x=1", " a=2"}, "a"));
  EXPECT_FALSE(HasCookieName({"A=1"}, "a"));
  EXPECT_FALSE(HasCookieName({}, ""));

  EXPECT_EQ(RemoveDuplicateItems("a; b; a; c; b", "; "), "a; b; c");
  EXPECT_EQ(RemoveDuplicateItems("a,,a,", ","), "a,");
  EXPECT_EQ(RemoveDuplicateItems("", "; "), "");

  EXPECT_EQ(FindTextItem({"a", "", "b"}, "b"), 3);
  EXPECT_EQ(FindTextItem({"a", "", "b"}, ""), 2);
  EXPECT_EQ(FindTextItem({"a"}, "A"), -1);
}

TEST(Cookies, GathersNameValuePairsFromResponseHeaders) {
  EXPECT_EQ(GatherResponseCookies("HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"
                                  "Content-Type: text/html\r\nSet-Cookie:  c=3 ; HttpOnly\r\n\r\n"),
            "a=1; b=2; c=3");
  EXPECT_EQ(GatherResponseCookies("HTTP/1.1 200 OK\r\n\r\n"), "");
  EXPECT_EQ(GatherResponseCookies(std::string(5000, ' ')), "");
  // An empty pair still takes its place.
  EXPECT_EQ(GatherResponseCookies("Set-Cookie: ; path=/\r\nSet-Cookie: z=9"), "; z=9");
  // Only the exact capitalisation counts; WebRequest normalises the names first.
  EXPECT_EQ(GatherResponseCookies("set-cookie: a=1\r\nSet-Cookie: b=2"), "b=2");
}

}  // namespace
}  // namespace lekto::http
