// cookies.txt as browsers' export add-ons write it, and the process-wide store the plain fetches send from.
#include "http/cookie_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace lekto::http {
namespace {

TEST(CookieFileTest, ReadsEveryCookieLineAndSkipsTheRest) {
  int skipped = -1;
  const std::vector<StoredCookie> cookies = ParseCookieFile(
      "# Netscape HTTP Cookie File\r\n"
      "\r\n"
      ".example.com\tTRUE\t/\tTRUE\t1893456000\tsid\ta=b; c\r\n"  // the value keeps its "=" and ";"
      "#HttpOnly_book.example.org\tFALSE\t/vip\tFALSE\t0\ttoken\txyz\n"
      "novel.example.net\tFALSE\t/\tFALSE\t0\tempty\n"  // six fields: a cookie without a value
      "no tabs at all\n"
      "bad.example\tMAYBE\t/\tFALSE\t0\tn\tv\n"
      "bad.example\tFALSE\tnoslash\tFALSE\t0\tn\tv\n"
      "bad.example\tFALSE\t/\tFALSE\tsoon\tn\tv",
      &skipped);
  EXPECT_EQ(skipped, 4);
  ASSERT_EQ(cookies.size(), 3u);
  EXPECT_EQ(cookies[0].domain, ".example.com");
  EXPECT_TRUE(cookies[0].includeSubdomains);
  EXPECT_TRUE(cookies[0].secure);
  EXPECT_EQ(cookies[0].expires, 1893456000);
  EXPECT_EQ(cookies[0].value, "a=b; c");
  EXPECT_FALSE(cookies[0].httpOnly);
  EXPECT_TRUE(cookies[1].httpOnly);
  EXPECT_EQ(cookies[1].domain, "book.example.org");
  EXPECT_EQ(cookies[1].path, "/vip");
  EXPECT_EQ(cookies[2].name, "empty");
  EXPECT_EQ(cookies[2].value, "");

  // A written line reads back as the same cookie.
  const std::vector<StoredCookie> again = ParseCookieFile(CookieFileLine(cookies[1]));
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(CookieFileLine(again[0]), "#HttpOnly_book.example.org\tFALSE\t/vip\tFALSE\t0\ttoken\txyz");
}

TEST(CookieFileTest, StoreKeepsLiveCookiesAndDropsExpiredOnes) {
  ClearCookieStore();
  AddToCookieStore(
      ParseCookieFile(".example.com\tTRUE\t/\tFALSE\t0\tsession\tone\n"
                      "example.com\tFALSE\t/\tFALSE\t1000000000\told\tgone\n"));
  // A line break inside a value would read as a second cookie: such a cookie is not stored.
  StoredCookie broken;
  broken.domain = "example.com";
  broken.name = "split";
  broken.value = "one\nexample.com\tFALSE\t/\tFALSE\t0\tinjected\tyes";
  AddToCookieStore({broken});
  const std::vector<StoredCookie> stored = CookiesInStore();
  ASSERT_EQ(stored.size(), 1u);
  const auto named = [&](const std::string& name) {
    return std::find_if(stored.begin(), stored.end(), [&](const StoredCookie& c) { return c.name == name; });
  };
  ASSERT_NE(named("session"), stored.end());
  EXPECT_EQ(named("session")->value, "one");
  EXPECT_TRUE(named("session")->includeSubdomains);
  EXPECT_EQ(named("old"), stored.end());
  ClearCookieStore();
  EXPECT_TRUE(CookiesInStore().empty());
}

}  // namespace
}  // namespace lekto::http
