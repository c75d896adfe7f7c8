// What a book page says of the book: first on the real tables of contents of the corpus (the author, cover and
// description a reader sees on each, read off the saved pages by hand), then on one page that holds every trap a
// site has been seen to set.
#include "toc/book_metadata.h"

#include "text/gbk_text.h"
#include "text/page_charset.h"
#include "text/text_codec.h"

#include "support/corpus.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace lekto {
namespace {

using text::Gbk;

struct CorpusPage {
  const char* name;
  const char* file;
  const char8_t* author;
  const char* cover;
  const char8_t* descriptionStart;  // empty: the page has none
  int descriptionLines;
};

// Authors from og:novel:author where the page has it, otherwise from the "作者：" line of its information block
// (followed by a link, by further fields, or with a space before the colon).
const CorpusPage kPages[] = {
    {"biquge_com_tw", "biquge_com_tw/toc.html", u8"文抄公",
     "http://www.biquge.com.tw/files/article/image/17/17275/17275s.jpg", u8"一觉醒来穿越成反派？这剧本不对！", 3},
    {"biquge_info", "biquge_info/toc.html", u8"言归正传",
     "http://www.biquge.info/files/article/image/74/74132/74132s.jpg", u8"重生在封神大战之前的上古时代，", 4},
    {"mirror_52mb", "mirror_52mb/toc.html", u8"叶辰萧初然", "", u8"", 0},
    {"ptwxz_com", "ptwxz_com/toc.html", u8"老鹰吃小鸡", "", u8"", 0},
    {"uukanshu_com", "uukanshu_com/toc.html", u8"卖报小郎君", "", u8"", 0},
    {"tw_hjwzw_com", "tw_hjwzw_com/toc.html", u8"賣報小郎君", "", u8"", 0},
    {"wenku8_net", "wenku8_net/toc.html", u8"三云岳斗", "", u8"", 0},
    {"masiro_me", "masiro_me/toc.html", u8"ジャジャ丸", "", u8"", 0},
    {"www_999wx_com", "www_999wx_com/toc.html", u8"阎真", "", u8"", 0},
    {"www_bqgyy_net", "www_bqgyy_net/toc.html", u8"七宠",
     "https://static.bqgyy.net/files/article/image/51/51801/51801s.jpg", u8"我的梦境会成真最新章节由书友发布", 1},
    {"EN_novelbin_net", "EN_novelbin_net/toc.html", u8"제리엠",
     "https://media.novelbin.net/novel/the-frozen-player-returns.jpg",
     u8"5 years after the world changed, the final boss appeared.", 0},
    {"EN_royalroadl_com", "EN_royalroadl_com/toc.html", u8"", "http://i.imgur.com/lMkj6s8.png",
     u8"All the nameless goblin slave ever wanted", 2},
    {"EN_wuxiaworld_com", "EN_wuxiaworld_com/toc.html", u8"",
     "https://cdn.wuxiaworld.com/images/covers/hjc.jpg?ver=f83790a5f2ff64bb6524c2cfd207845ba1d25ac6", u8"", 0},
    {"EN_www_novelupdates_com", "EN_www_novelupdates_com/toc.html", u8"", "", u8"", 0},
};

class BookMetadataCorpusTest : public ::testing::TestWithParam<CorpusPage> {};

TEST_P(BookMetadataCorpusTest, AuthorCoverAndDescriptionAsTheReaderSeesThem) {
  LEKTO_SKIP_WITHOUT_CORPUS();
  const CorpusPage& page = GetParam();
  const std::string body = testsupport::ReadFileBytes(testsupport::CorpusFolder() / page.file);
  ASSERT_FALSE(body.empty()) << page.file;
  const std::string gbk = text::PageToGbk(body, text::DecidePageCharset(body, ""));
  const BookMetadata metadata = ReadBookMetadata(gbk, "http://127.0.0.1/book/", "http://127.0.0.1");

  EXPECT_EQ(text::AnsiToUtf8(metadata.author), reinterpret_cast<const char*>(page.author));
  EXPECT_EQ(metadata.coverAddress, page.cover);
  const std::string description = text::AnsiToUtf8(metadata.description);
  const std::string start = reinterpret_cast<const char*>(page.descriptionStart);
  EXPECT_TRUE(description.starts_with(start)) << description;
  EXPECT_EQ(start.empty(), description.empty()) << description;
  // Paragraphs a site flattened into runs of blanks or "<br/>" stand on lines of their own, with no blank lines,
  // no indents, and no references left over from escaping done twice.
  if (page.descriptionLines > 0) {
    EXPECT_EQ(static_cast<int>(text::Split(metadata.description, "\r\n").size()), page.descriptionLines) << description;
  }
  EXPECT_EQ(description.find("\r\n\r\n"), std::string::npos);
  EXPECT_EQ(description.find("&nbsp;"), std::string::npos);
  EXPECT_EQ(description.find("&amp;"), std::string::npos);
  EXPECT_EQ(description.find("\r\n "), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Corpus, BookMetadataCorpusTest, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<CorpusPage>& info) { return std::string(info.param.name); });

// One page with every trap: meta tags written content-first, in single quotes, with ">" inside a value, inside a
// comment and inside a script; the author label in the title, in an attribute, in a script and as a chapter link's
// text before the real line; a relative cover address.
TEST(BookMetadata, ReadsWhatABrowserShowsAndNothingElse) {
  const std::string page =
      Gbk(u8"<html><head><title>某书(作者:标题里的名字)</title>\n"
          u8"<!-- <meta property=\"og:novel:author\" content=\"注释里的名字\"> -->\n"
          u8"<script>var s = '<meta property=\"og:image\" content=\"/script.png\">'; var t = "
          u8"'作者：脚本里的名字';</script>\n"
          u8"<meta content='一行简介<br/>　　第二行 &amp;amp; 更多' property='og:description'>\n"
          u8"<META PROPERTY=\"og:image\" CONTENT=\"../img/cover.jpg\">\n"
          u8"<meta property=\"og:image\" content=\"/second.jpg\">\n"
          u8"</head><body><div title=\"作者：属性里的名字\">\n"
          u8"<dd><a href=\"/1.html\">作者：请假一天</a></dd>\n"
          u8"<p>作&nbsp;&nbsp;者：<a href=\"/author/1\">林间&amp;月</a>&nbsp;&nbsp;类别：玄幻</p>\n"
          u8"<p>作者：后面的名字</p></div></body></html>\n");
  const BookMetadata metadata = ReadBookMetadata(page, "http://127.0.0.1/books/7/index.html", "http://127.0.0.1");
  EXPECT_EQ(metadata.author, Gbk(u8"林间&月"));
  EXPECT_EQ(metadata.description, Gbk(u8"一行简介\r\n第二行 & 更多"));
  EXPECT_EQ(metadata.coverAddress, "http://127.0.0.1/books/img/cover.jpg");

  // og:novel:author wins over the text; a name cut at its line's next field; what is no name gives none; a cover
  // that is no web address is none.
  EXPECT_EQ(
      ReadBookMetadata(Gbk(u8"<meta property=\"og:novel:author\" content=\" 甲乙 \"><p>作者：丙</p>"), "", "").author,
      Gbk(u8"甲乙"));
  EXPECT_EQ(AuthorFromText(Gbk(u8"<p>作者：天蚕土豆 更新时间：2020-01-01</p>")), Gbk(u8"天蚕土豆"));
  EXPECT_EQ(AuthorFromText(Gbk(u8"<p>作者：J. R. Smith</p>")), "J. R. Smith");
  EXPECT_EQ(AuthorFromText(Gbk(u8"<p>作者：天蚕土豆（著）</p>")), Gbk(u8"天蚕土豆"));
  EXPECT_EQ(
      AuthorFromText(Gbk(u8"<p>作者：</p><p>本站所有作品均由网友上传，如有侵权请联系我们删除，作者：不详的来源说明"
                         u8"文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字文字</p>")),
      "");
  EXPECT_EQ(
      ReadBookMetadata("<meta property=\"og:image\" content=\"data:image/png;base64,AAAA\">", "http://h/b/", "http://h")
          .coverAddress,
      "");
}

}  // namespace
}  // namespace lekto
