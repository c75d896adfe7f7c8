// lekto-cli run in-process with its output captured: usage, exit codes, `toc` and `show` against pages served
// by the local test server.
#include "cli/cli.h"

#include "cli/cli_controls.h"
#include "cli/command.h"
#include "tests/cli/cli_test_support.h"
#include "text/text_codec.h"

#include "support/corpus.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace lekto::cli {
namespace {

namespace fs = std::filesystem;
using clitest::Lines;
using clitest::Outcome;
using clitest::RunCaptured;
using testsupport::ReadFileBytes;
using testsupport::TempFolder;
using testsupport::TestServer;

const std::string kCorpus = testsupport::CorpusFolder().string();

// The first `count` CJK characters of UTF-8 `text`: how MANIFEST.tsv describes a chapter's start.
std::string FirstCjk(const std::string& text, std::size_t count) {
  const std::u16string wide = text::ToWide(text, 65001);
  std::u16string cjk;
  for (char16_t c : wide) {
    if (c >= 0x4E00 && c <= 0x9FA5 && cjk.size() < count) cjk += c;
  }
  return text::AnsiToUtf8(text::FromWide(cjk, 936));
}

std::string G(std::u8string_view utf8) {
  return text::Gbk(utf8);
}

// A small GBK book: a table of contents of three chapters, each a page with its body in a div.
void WriteSmallBook(const TempFolder& site) {
  std::string toc = "<html><head><title>" + G(u8"小书最新章节_测试站") + "</title></head><body>\n";
  const char8_t* bodies[] = {u8"第一段正文，讲的是开端。<br /><br />第二段正文，广告词出现在这里。",
                             u8"第二章的正文内容，平平无奇。", u8""};
  for (int n = 1; n <= 3; ++n) {
    const std::string title = G(u8"第") + std::to_string(n) + G(u8"章");
    const std::string file = std::to_string(1000000 + n) + ".html";
    toc += "<dd><a href=\"" + file + "\">" + title + "</a></dd>\n";
    site.Write("book/" + file, "<html><head><title>" + title + "</title></head><body><div id=\"content\">" +
                                   G(bodies[n - 1]) + "</div></body></html>");
  }
  site.Write("book/index.html", toc + "</body></html>");
}

class CliTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    site_ = new TempFolder("lekto-cli");
    WriteSmallBook(*site_);
    server_ = new TestServer;
    server_->ServeStatic("/", site_->Path());
  }
  static void TearDownTestSuite() {
    delete server_;
    delete site_;
  }
  static std::string Url(const std::string& path) { return server_->HttpUrl(path); }

  static inline TempFolder* site_ = nullptr;
  static inline TestServer* server_ = nullptr;
};

TEST_F(CliTest, TocListsTitleThenIdTitleAndLink) {
  const Outcome r = RunCaptured({"toc", Url("/book/index.html")});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::vector<std::string> expected = {
      "小书",
      "1\t第1章\t" + Url("/book/1000001.html"),
      "2\t第2章\t" + Url("/book/1000002.html"),
      "3\t第3章\t" + Url("/book/1000003.html"),
  };
  EXPECT_EQ(Lines(r.out), expected);
}

// A list the site shows newest first comes in reading order, and the error stream says so once; the rows stay
// one per line on the output.
TEST_F(CliTest, TocPutsANewestFirstListInReadingOrderAndSaysSo) {
  std::string list;
  for (int n = 5; n >= 1; --n) {
    list += "<li><a href=\"/late/" + std::to_string(2000 + n) + ".html\">" + G(u8"第") + std::to_string(n) + G(u8"章") +
            "</a></li>\n";
  }
  site_->Write("late/index.html",
               "<html><head><title>" + G(u8"倒书") + "</title></head><body><ul>" + list + "</ul></body></html>");
  const Outcome r = RunCaptured({"toc", Url("/late/index.html")});
  EXPECT_EQ(r.code, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 6u) << r.out;
  EXPECT_EQ(lines[1], "1\t第1章\t" + Url("/late/2001.html"));
  EXPECT_EQ(lines[5], "5\t第5章\t" + Url("/late/2005.html"));
  EXPECT_EQ(r.err, "lekto-cli: the page lists the newest chapter first; the rows are given in reading order\n");
}

TEST_F(CliTest, OptionsMayStandBeforeOrAfterTheArguments) {
  const Outcome plain = RunCaptured({"toc", Url("/book/index.html")});
  for (const std::vector<std::string>& args : {
           std::vector<std::string>{"--transcode", "toc", Url("/book/index.html")},
           std::vector<std::string>{"toc", "--preprocess", Url("/book/index.html"), "--filter", "x"},
           std::vector<std::string>{"toc", Url("/book/index.html"), "--filter=x", "--transcode"},
       }) {
    const Outcome r = RunCaptured(args);
    EXPECT_EQ(r.code, 0) << testing::PrintToString(args) << r.err;
    EXPECT_EQ(r.out, plain.out);
  }
}

TEST_F(CliTest, ShowPrintsTheChapterAsTheViewerShowsIt) {
  const Outcome r = RunCaptured({"show", Url("/book/index.html"), "1"});
  EXPECT_EQ(r.code, 0) << r.err;
  // The page's text lacks the title, so the title line comes first; lines end in LF on the terminal.
  EXPECT_EQ(r.out.find("第1章\n"), 0u) << r.out;
  EXPECT_NE(r.out.find("第一段正文"), std::string::npos);
  EXPECT_NE(r.out.find("广告词"), std::string::npos);
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
  EXPECT_EQ(r.out.back(), '\n');
}

TEST_F(CliTest, ShowAppliesTheGivenFilters) {
  const Outcome r = RunCaptured({"--filter", "广告词", "show", Url("/book/index.html"), "1", "--filter", "第二段"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("第一段正文"), std::string::npos);
  EXPECT_EQ(r.out.find("广告词"), std::string::npos);
  EXPECT_EQ(r.out.find("第二段"), std::string::npos);
}

// Titles and text come from web pages: control bytes in them would reach the terminal as commands (an escape
// sequence, a carriage return that overwrites the line), so they are printed as spaces or line ends.
TEST_F(CliTest, ControlBytesFromThePageNeverReachTheTerminal) {
  std::string toc = "<html><head><title>" + G(u8"怪书") + "</title></head><body>\n";
  for (int n = 1; n <= 3; ++n) {
    const std::string file = std::to_string(1000000 + n) + ".html";
    toc +=
        "<dd><a href=\"" + file + "\">" + G(u8"第") + std::to_string(n) + "\x1b]0;x\x07\b" + G(u8"章") + "</a></dd>\n";
    site_->Write("odd/" + file, "<html><body><div id=\"content\">" + G(u8"正文开头") + "\x1b[2J\x7f\b\r" +
                                    G(u8"正文结尾，内容足够长。") + "</div></body></html>");
  }
  site_->Write("odd/index.html", toc + "</body></html>");

  const Outcome list = RunCaptured({"toc", Url("/odd/index.html")});
  EXPECT_EQ(list.code, 0) << list.err;
  EXPECT_NE(list.out.find("1\t第1 ]0;x  章\t"), std::string::npos) << list.out;
  const Outcome chapter = RunCaptured({"show", Url("/odd/index.html"), "2"});
  EXPECT_EQ(chapter.code, 0) << chapter.err;
  // A lone CR in a page is a line end, as HTML reads it: it ends the line instead of overwriting it.
  EXPECT_NE(chapter.out.find("正文开头 [2J  \n正文结尾"), std::string::npos) << chapter.out;
  for (const std::string& out : {list.out, chapter.out}) {
    EXPECT_EQ(std::count_if(out.begin(), out.end(),
                            [](char c) { return (c >= 0 && c < 0x20 && c != '\n' && c != '\t') || c == 0x7f; }),
              0)
        << out;
  }
}

TEST_F(CliTest, NothingFoundExitsWithOne) {
  site_->Write("empty/index.html", "<html><head><title>" + G(u8"空书") + "</title></head><body></body></html>");
  Outcome r = RunCaptured({"toc", Url("/empty/index.html")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "空书\n");
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;

  r = RunCaptured({"show", Url("/empty/index.html"), "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;

  r = RunCaptured({"show", Url("/book/index.html"), "4"});  // three rows only
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;

  r = RunCaptured({"show", Url("/book/index.html"), "3"});  // a chapter page without text: the title line alone
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "第3章\n");
  EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
}

TEST(Cli, UsageErrorsExitWithTwo) {
  const std::vector<std::string> cases[] = {
      {},
      {"list", "http://127.0.0.1/"},
      {"toc"},
      {"toc", "http://127.0.0.1/a", "http://127.0.0.1/b"},
      {"toc", "http://127.0.0.1/", "--verbose"},
      {"toc", "http://127.0.0.1/", "--filter"},
      {"toc", "http://127.0.0.1/", "--transcode=yes"},
      {"show", "http://127.0.0.1/"},
      {"show", "http://127.0.0.1/", "abc"},
      {"show", "http://127.0.0.1/", "0"},
      {"show", "http://127.0.0.1/", "1x"},
      {"show", "http://127.0.0.1/", "-1"},
      {"show", "http://127.0.0.1/", "99999999999"},
  };
  for (const std::vector<std::string>& args : cases) {
    const Outcome r = RunCaptured(args);
    EXPECT_EQ(r.code, 2) << testing::PrintToString(args);
    EXPECT_EQ(r.out, "") << testing::PrintToString(args);
    EXPECT_NE(r.err, "") << testing::PrintToString(args);
  }
}

TEST(Cli, AddressWithoutHttpIsRefused) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"toc", ""}, std::vector<std::string>{"toc", "127.0.0.1/book/"},
        std::vector<std::string>{"show", "ftp://127.0.0.1/book/", "1"}}) {
    const Outcome r = RunCaptured(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "lekto-cli: enter the address of a table-of-contents page (http:// or https://)\n");
  }
}

TEST(Cli, HelpListsEveryCommand) {
  for (const char* help : {"--help", "-h"}) {
    const Outcome r = RunCaptured({help});
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("toc URL"), std::string::npos);
    EXPECT_NE(r.out.find("show URL ID"), std::string::npos);
    EXPECT_NE(r.out.find("--filter PATTERN"), std::string::npos);
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(RunCaptured({"toc", "x", "--help"}).code, 0);
}

// The long options a text names ("--dir", ...). The manual page writes a hyphen as "\\-".
std::set<std::string> LongOptions(std::string text) {
  for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) text.erase(at, 1);
  const std::regex option("--[a-z][a-z-]*");
  std::set<std::string> options;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it) {
    options.insert(it->str());
  }
  return options;
}

// --help and the manual page describe the same program: the same options, every command, the same version.
TEST(Cli, HelpAndManualPageAgree) {
  const Outcome help = RunCaptured({"--help"});
  const std::string manual = ReadFileBytes(LEKTO_MANUAL_PAGE);
  ASSERT_NE(manual, "");
  EXPECT_EQ(LongOptions(help.out), LongOptions(manual));
  EXPECT_TRUE(LongOptions(help.out).contains("--version"));
  for (const Command& command : Commands()) {
    EXPECT_NE(manual.find(".B lekto-cli " + std::string(command.name) + "\n"), std::string::npos) << command.name;
  }

  const Outcome version = RunCaptured({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "lekto-cli " LEKTO_PROJECT_VERSION "\n");
  EXPECT_EQ(version.err, "");
}

TEST(CliControls, ArgumentsBecomeTheWindowState) {
  CommonOptions options;
  options.transcode = true;
  options.filters = {"广告", "", "[a-z]+"};
  CliControls controls("http://127.0.0.1/书/", options);
  EXPECT_EQ(controls.Address(), G(u8"http://127.0.0.1/书/"));
  EXPECT_TRUE(controls.Transcode());
  EXPECT_FALSE(controls.Preprocess());
  EXPECT_TRUE(controls.FiltersEnabled());
  EXPECT_EQ(controls.FilterRules(), G(u8"广告\r\n\r\n[a-z]+"));
  EXPECT_TRUE(controls.RowChecked(0));
  EXPECT_TRUE(controls.RowChecked(5000));
  controls.CheckOnly({2, 4});
  EXPECT_FALSE(controls.RowChecked(0));
  EXPECT_TRUE(controls.RowChecked(4));
  controls.SetRowState(4, G(u8"下载完成"));
  EXPECT_EQ(controls.RowState(4), G(u8"下载完成"));
  EXPECT_EQ(controls.RowState(2), "");

  EXPECT_FALSE(CliControls("http://127.0.0.1/", CommonOptions{}).FiltersEnabled());
}

// Real pages: a table of contents and the chapter it links to, served where the table's links point.
TEST(CliCorpus, TocAndShowOnRealPages) {
  LEKTO_SKIP_WITHOUT_CORPUS();
  struct Case {
    const char* folder;
    const char* bookPath;     // where the table of contents links its chapters
    const char* chapterFile;  // the chapter page's name in the table's links
    const char* id;           // its row as `toc` lists it
    int rows;
    const char* firstCjk;  // MANIFEST.tsv: the first 30 CJK characters of the chapter body
  };
  const Case cases[] = {
      {"biquge_com_tw", "/17_17275/", "7633258.html", "4", 821,
       "主神殿开启请轮回者做好准备机械古板而浩大的声音仍在回响吴明却"},
      {"biquge_info", "/74_74132/", "14482860.html", "1", 687,
       "噹噹悠扬的钟声在云间来回飘荡作为三千世界的中心洪荒五部洲也迎"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    TempFolder site("lekto-cli");
    site.Write(std::string(c.bookPath).substr(1) + "index.html",
               ReadFileBytes(fs::path(kCorpus) / c.folder / "toc.html"));
    site.Write(std::string(c.bookPath).substr(1) + c.chapterFile,
               ReadFileBytes(fs::path(kCorpus) / c.folder / "ch1.html"));
    TestServer server;
    server.ServeStatic("/", site.Path());
    const std::string address = server.HttpUrl(std::string(c.bookPath) + "index.html");

    const Outcome toc = RunCaptured({"toc", address});
    EXPECT_EQ(toc.code, 0) << toc.err;
    const std::vector<std::string> lines = Lines(toc.out);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.rows) + 1);
    EXPECT_EQ(lines[std::atoi(c.id)].substr(lines[std::atoi(c.id)].rfind('\t') + 1),
              server.HttpUrl(std::string(c.bookPath) + c.chapterFile));

    const Outcome show = RunCaptured({"show", address, c.id});
    EXPECT_EQ(show.code, 0) << show.err;
    // The text starts with the row's title, on a line of its own when the page's text lacks it.
    std::string title = lines[std::atoi(c.id)].substr(lines[std::atoi(c.id)].find('\t') + 1);
    title = title.substr(0, title.find('\t'));
    ASSERT_EQ(show.out.find(title), 0u) << show.out.substr(0, 300);
    EXPECT_EQ(FirstCjk(show.out.substr(title.size()), 30), c.firstCjk);
  }
}

}  // namespace
}  // namespace lekto::cli
