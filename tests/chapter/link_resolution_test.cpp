#include "chapter/link_resolution.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace lekto {
namespace {

struct LinkCase {
  const char* name;
  const char* link;
  const char* tocAddress;
  const char* siteRoot;
  const char* expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

const LinkCase kCases[] = {
    // Absolute links, including one whose "http" sits only in a folder name, are kept as they are.
    {"Absolute", "https://a.example/b/1.html", "http://x.example/toc/", "http://x.example",
     "https://a.example/b/1.html"},
    {"HttpOnlyInPath", "/http/1.html", "https://x.example/toc/", "https://x.example", "/http/1.html"},
    {"HttpInBareName", "httpdocs.html", "https://x.example/toc/", "https://x.example", "httpdocs.html"},
    // Bare file names.
    {"FileNameAfterFolderSlash", "12.html", "http://x.example/book/", "http://x.example",
     "http://x.example/book/12.html"},
    {"FileNameReplacesFileName", "12.html", "http://x.example/book/index.html", "http://x.example",
     "http://x.example/book/12.html"},
    {"FileNameReplacesQueryPage", "12.html", "http://x.example/list.php?id=5", "http://x.example",
     "http://x.example/12.html"},
    {"DotsInHostDoNotCount", "12.html", "http://127.0.0.1:8080/book/", "http://127.0.0.1:8080",
     "http://127.0.0.1:8080/book/12.html"},
    {"FolderWithoutSlashGetsOne", "12.html", "http://x.example/book", "http://x.example",
     "http://x.example/book/12.html"},
    {"DottedFolderKeepsSlash", "12.html", "http://x.example/a.b/c/", "http://x.example",
     "http://x.example/a.b/c/12.html"},
    {"EmptyAddressGivesLinkAlone", "12.html", "", "http://x.example", "12.html"},
    {"EmptyRootUsesWholeAddress", "12.html", "http://x.example/book/index.html", "", "http://x.example/book/12.html"},
    // Paths with folders hang off the site root, not off the table-of-contents page.
    {"RootRelative", "/book/12.html", "https://x.example/toc/index.html", "https://x.example",
     "https://x.example/book/12.html"},
    {"FolderRelative", "book/12.html", "https://x.example/toc/index.html", "https://x.example",
     "https://x.example/book/12.html"},
    {"RootRelativeWithPort", "/gbk/3.html", "http://127.0.0.1:8080/gbk/index.html", "http://127.0.0.1:8080",
     "http://127.0.0.1:8080/gbk/3.html"},
    // Without the address of the page it stands on, "./" takes the written rule for paths with folders.
    {"DotSlashRelativeWithoutPage", "./3.html", "http://x.example/b/index.html", "http://x.example",
     "http://x.example/./3.html"},
    {"EmptyRootRootRelative", "/book/12.html", "", "", "/book/12.html"},
    {"EmptyRootFolderRelative", "book/12.html", "", "", "/book/12.html"},
    // Scheme-relative links take the scheme of the site root.
    {"SchemeRelativeHttps", "//cdn.example/b/1.html", "https://x.example/toc/", "https://x.example",
     "https://cdn.example/b/1.html"},
    {"SchemeRelativeHttp", "//cdn.example/b/1.html", "http://x.example/toc/", "http://x.example",
     "http://cdn.example/b/1.html"},
    {"SchemeRelativeEmptyRoot", "//cdn.example/b/1.html", "", "", "//cdn.example/b/1.html"},
};

class ResolveLinkTest : public testing::TestWithParam<LinkCase> {};

TEST_P(ResolveLinkTest, GivesTheAddressAndLeavesItInTheLink) {
  const LinkCase& c = GetParam();
  std::string link = c.link;
  EXPECT_EQ(ResolveLink(link, c.tocAddress, c.siteRoot, ""), c.expected);
  EXPECT_EQ(link, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ResolveLinkTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

TEST(ResolveLink, HttpStartingInsideAGbkCharacterIsNotAbsolute) {
  // 0x81 0x68 is one GBK character whose second byte is "h"; the "http" it seems to start is no word.
  std::string link = std::string("\x81h") + "ttp.html";
  EXPECT_EQ(ResolveLink(link, "http://x.example/b/", "http://x.example", ""), "http://x.example/b/\x81http.html");
}

// "./" and "../" resolve against the folder of the page the link was found on, as a browser resolves them,
// whatever the table-of-contents address; every other form keeps the rule above even when the page is known.
TEST(ResolveLink, FolderRelativeLinksFollowThePageTheyStandOn) {
  const std::string toc = "http://x.example/toc/list.html";
  const std::string root = "http://x.example";
  const struct {
    const char* link;
    const char* page;
    const char* expected;
  } cases[] = {
      {"./3.html", "http://x.example/book/9/1.html", "http://x.example/book/9/3.html"},
      {"./3.html", "http://x.example/book/9/", "http://x.example/book/9/3.html"},
      {"./3.html?p=2", "http://x.example/book/9/1.html?from=a/b", "http://x.example/book/9/3.html?p=2"},
      {"../3.html", "http://x.example/book/9/1.html", "http://x.example/book/3.html"},
      {"../../../3.html", "http://x.example/book/1.html", "http://x.example/3.html"},
      {".././b/./3.html", "https://x.example:8443/a/c/1.html", "https://x.example:8443/a/b/3.html"},
      {"./", "http://x.example/book/9/1.html", "http://x.example/book/9/"},
      {"./3.html", "http://x.example", "http://x.example/3.html"},
      {"./http-notes.html", "http://x.example/book/1.html", "http://x.example/book/http-notes.html"},
      // Other forms: the written rule, not the page.
      {"3.html", "http://x.example/book/9/1.html", "http://x.example/toc/3.html"},
      {"book/3.html", "http://x.example/book/9/1.html", "http://x.example/book/3.html"},
      {".3.html", "http://x.example/book/9/1.html", "http://x.example/toc/.3.html"},
  };
  for (const auto& c : cases) {
    std::string link = c.link;
    EXPECT_EQ(ResolveLink(link, toc, root, c.page), c.expected) << c.link << " on " << c.page;
  }
}

// A scheme in capitals is a scheme: the scheme-relative rule would make "http:HTTP://..." of it.
TEST(ResolveLink, SchemeInAnyLetterCaseIsAbsolute) {
  for (const char* absolute : {"HTTP://y.example/1005_2.html", "Https://y.example/a/2.html", "hTTp://y.example/"}) {
    std::string link = absolute;
    EXPECT_EQ(ResolveLink(link, "http://x.example/toc/", "http://x.example", "http://x.example/toc/1.html"), absolute);
  }
}

TEST(ResolveLink, HttpAfterAOneByteCharacterIsAbsolute) {
  // 0xFF and 0x80 (the euro sign) are characters of one byte: the "http" after them is a word of its own.
  for (const std::string stray : {"\xFF", "\x80"}) {
    std::string link = stray + "http://x/1.html";
    EXPECT_EQ(ResolveLink(link, "http://y.example/b/", "http://y.example", "http://y.example/b/1.html"),
              stray + "http://x/1.html");
  }
}

}  // namespace
}  // namespace lekto
