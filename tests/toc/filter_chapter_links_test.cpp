// The chapter-link filter, the book-title cleanup and the site root, on lists and texts built in the test.
#include "text/text_codec.h"
#include "toc/toc_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace lekto {
namespace {

// A link of exactly `length` bytes, different for every `id` (the filter compares links as texts only).
std::string LinkOfLength(int id, std::size_t length) {
  std::string link = "/" + std::to_string(id) + "/";
  EXPECT_LE(link.size(), length);
  link.resize(length, 'x');
  return link;
}

struct Entries {
  std::vector<std::string> titles;
  std::vector<std::string> links;

  void Add(std::string title, std::string link) {
    titles.push_back(std::move(title));
    links.push_back(std::move(link));
  }
};

// Entries of the given link lengths, titled "t0", "t1" ...
Entries WithLengths(const std::vector<std::size_t>& lengths) {
  Entries entries;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    entries.Add("t" + std::to_string(i), LinkOfLength(static_cast<int>(i), lengths[i]));
  }
  return entries;
}

std::vector<std::string> Filtered(Entries entries) {
  FilterChapterLinks(entries.titles, entries.links);
  EXPECT_EQ(entries.titles.size(), entries.links.size());
  return entries.titles;
}

using Titles = std::vector<std::string>;

TEST(FilterChapterLinks, RegularMiddleKeepsLinksWithinThreeBytesOfIt) {
  // Eight entries, middle 4 (1-based): entries 3, 4 and 5 have lengths 30, 31 and 31, so the list is regular
  // and only links of 28 to 34 bytes stay; the home link (18) and a category link (27) go, and so does 35.
  EXPECT_EQ(Filtered(WithLengths({18, 27, 30, 31, 31, 28, 34, 35})), (Titles{"t2", "t3", "t4", "t5", "t6"}));
}

TEST(FilterChapterLinks, IrregularMiddleKeepsEveryLengthButStillDropsRepeats) {
  // The middle and its neighbours have lengths 30, 40, 41: not regular.
  Entries entries = WithLengths({18, 22, 30, 40, 41, 60});
  entries.Add("t1", LinkOfLength(100, 30));  // repeats the title of entry 1: the earlier one goes
  entries.Add("late", entries.links[0]);     // repeats the link of entry 0: the earlier one goes
  EXPECT_EQ(Filtered(entries), (Titles{"t2", "t3", "t4", "t5", "t1", "late"}));
}

TEST(FilterChapterLinks, ShorterNeighbourAlwaysPasses) {
  // 40, 31, 20 around the middle (2nd of five): both steps are negative, so the middle is regular, and the
  // neighbours themselves are then too far from it to stay.
  EXPECT_EQ(Filtered(WithLengths({40, 31, 20, 31, 31})), (Titles{"t1", "t3", "t4"}));
}

TEST(FilterChapterLinks, LatestBlockAboveTheFullListGivesWayToIt) {
  Entries entries;
  entries.Add("home", "/");
  for (int i = 289; i <= 300; ++i) entries.Add("ch" + std::to_string(i), LinkOfLength(1000 + i, 40));
  for (int i = 1; i <= 300; ++i) entries.Add("ch" + std::to_string(i), LinkOfLength(1000 + i, 40));
  const Titles titles = Filtered(entries);
  ASSERT_EQ(titles.size(), 300u);
  EXPECT_EQ(titles.front(), "ch1");
  EXPECT_EQ(titles[288], "ch289");
  EXPECT_EQ(titles.back(), "ch300");
}

// Two rows of one title and two links inside the list are two chapters; a latest block above the list (rows whose
// link comes again below) and one below it (rows whose title came before) still give way to the list.
TEST(FilterChapterLinks, RepeatedTitlesAreRepeatsOnlyAtTheEnds) {
  const std::string extra = text::Gbk(u8"番外");
  Entries entries;
  entries.Add("ch3", LinkOfLength(5, 40));  // latest block above: its links come again
  entries.Add(extra, LinkOfLength(4, 40));
  entries.Add("ch1", LinkOfLength(1, 40));
  entries.Add(extra, LinkOfLength(2, 40));
  entries.Add("ch2", LinkOfLength(3, 40));
  entries.Add(extra, LinkOfLength(4, 40));
  entries.Add("ch3", LinkOfLength(5, 40));
  entries.Add("ch4", LinkOfLength(6, 40));
  entries.Add("ch4", LinkOfLength(7, 40));  // a block below: the title came before, written another way
  Entries copy = entries;
  FilterChapterLinks(copy.titles, copy.links);
  EXPECT_EQ(copy.titles, (Titles{"ch1", extra, "ch2", extra, "ch3", "ch4"}));
  EXPECT_EQ(copy.links, (std::vector<std::string>{entries.links[2], entries.links[3], entries.links[4],
                                                  entries.links[5], entries.links[6], entries.links[8]}));
}

// Exactly three entries: the middle is the first entry and has no predecessor. The missing neighbour passes,
// so the step to the second entry alone decides whether lengths are checked.
TEST(FilterChapterLinks, ThreeEntriesNeverReadOutsideTheList) {
  struct Case {
    std::vector<std::size_t> lengths;
    Titles kept;
  };
  const Case cases[] = {
      {{40, 40, 40}, {"t0", "t1", "t2"}},
      {{40, 41, 44}, {"t0", "t1"}},        // regular: 44 is four bytes off the first
      {{40, 41, 43}, {"t0", "t1", "t2"}},  // regular: 43 is within three
      {{18, 40, 40}, {"t0", "t1", "t2"}},  // the first is far shorter than the second: not regular
      {{40, 18, 60}, {"t0"}},              // a shorter second passes the step test but is far off the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.lengths));
    EXPECT_EQ(Filtered(WithLengths(c.lengths)), c.kept);
  }
}

// The filter word for word: linear searches of the output, insertion at its front; a repeated title counts only in
// a block at either end whose rows come again further down (head) or came before (tail).
Entries ReferenceFilter(const Entries& in) {
  Entries out;
  const std::size_t n = in.links.size();
  if (n < 3) return out;
  const std::size_t m = n / 2;
  const auto len = [&](std::size_t k) { return static_cast<long>(in.links[k - 1].size()); };
  const bool regular = (m < 2 || len(m) - len(m - 1) <= 1) && len(m + 1) - len(m) <= 1;
  Entries eligible;
  for (std::size_t k = 1; k <= n; ++k) {
    if (!regular || std::labs(len(k) - len(m)) <= 3) eligible.Add(in.titles[k - 1], in.links[k - 1]);
  }
  const auto& t = eligible.titles;
  const auto& l = eligible.links;
  const auto occursIn = [](const std::vector<std::string>& list, std::size_t from, std::size_t to,
                           const std::string& s) {
    return std::find(list.begin() + from, list.begin() + to, s) != list.begin() + to;
  };
  std::size_t head = 0;
  while (head < l.size() && (occursIn(l, head + 1, l.size(), l[head]) || occursIn(t, head + 1, t.size(), t[head]))) {
    ++head;
  }
  std::size_t tail = l.size();
  while (tail > head && (occursIn(l, head, tail - 1, l[tail - 1]) || occursIn(t, head, tail - 1, t[tail - 1]))) --tail;
  std::vector<std::string> endTitles;
  for (std::size_t k = l.size(); k >= 1; --k) {
    const bool atEnds = k - 1 < head || k - 1 >= tail || t[k - 1].find_first_not_of(" \t\r\n") == std::string::npos;
    const bool linkSeen = std::find(out.links.begin(), out.links.end(), l[k - 1]) != out.links.end();
    const std::vector<std::string>& titles = atEnds ? out.titles : endTitles;
    const bool titleSeen = std::find(titles.begin(), titles.end(), t[k - 1]) != titles.end();
    if (linkSeen || titleSeen) continue;
    out.titles.insert(out.titles.begin(), t[k - 1]);
    out.links.insert(out.links.begin(), l[k - 1]);
    if (atEnds) endTitles.push_back(t[k - 1]);
  }
  return out;
}

TEST(FilterChapterLinks, SameResultAsTheRuleReadWordForWord) {
  std::mt19937 random(20261208);  // fixed: the same lists on every run
  for (int round = 0; round < 2000; ++round) {
    Entries entries;
    const int n = std::uniform_int_distribution<int>(0, 40)(random);
    for (int i = 0; i < n; ++i) {
      // Small pools make repeated links and titles common; lengths cluster around 30 with outliers.
      const int link = std::uniform_int_distribution<int>(0, 30)(random);
      const int title = std::uniform_int_distribution<int>(0, 30)(random);
      const std::size_t length = link % 7 == 0 ? 10 + link : 28 + link % 5;
      entries.Add("t" + std::to_string(title), LinkOfLength(link, length));
    }
    Entries fast = entries;
    FilterChapterLinks(fast.titles, fast.links);
    const Entries reference = ReferenceFilter(entries);
    ASSERT_EQ(fast.titles, reference.titles) << "round " << round;
    ASSERT_EQ(fast.links, reference.links) << "round " << round;
  }
}

TEST(FilterChapterLinks, FewerThanThreeEntriesLeaveNothing) {
  EXPECT_TRUE(Filtered(WithLengths({})).empty());
  EXPECT_TRUE(Filtered(WithLengths({40})).empty());
  EXPECT_TRUE(Filtered(WithLengths({40, 40})).empty());
}

TEST(FilterChapterLinks, UnequalListsUseTheCommonLength) {
  Entries entries = WithLengths({40, 40, 40, 40});
  entries.titles.pop_back();
  FilterChapterLinks(entries.titles, entries.links);
  EXPECT_EQ(entries.titles, (Titles{"t0", "t1", "t2"}));
  EXPECT_EQ(entries.links.size(), 3u);
}

TEST(TocBookTitle, TitleTagWithSuffixesRemoved) {
  struct Case {
    const char8_t* page;
    const char8_t* title;
  };
  const Case cases[] = {
      {u8"<title>某书最新章节_某站</title>", u8"某书"},
      {u8"<TITLE>某书章节目录</TITLE>", u8"某书"},
      {u8"<Title>某书</Title>", u8"某书"},
      {u8"<title>某书最新章节列表_笔趣阁</title>", u8"某书"},
      {u8"<title>某书免费在线阅读</title>", u8"某书"},
      {u8"<title>某书在线阅读</title>", u8"某书"},
      {u8"<title>某书无弹窗,某书手机阅读</title>", u8"某书"},
      {u8"<title>Book-2 第二部</title>", u8"Book-2"},
      {u8"<title>某书\n_某站</title>", u8""},  // the title may not run over a line break
      {u8"<head></head>", u8""},
      {u8"", u8""},
  };
  for (const Case& c : cases) {
    const std::string page = text::Gbk(c.page);
    SCOPED_TRACE(text::AnsiToUtf8(page));
    EXPECT_EQ(TocBookTitle(page), text::Gbk(c.title));
  }
}

TEST(TocSiteRoot, SchemeAndHostWithoutTrailingSlash) {
  EXPECT_EQ(TocSiteRoot("http://www.example.com/book/1/"), "http://www.example.com");
  EXPECT_EQ(TocSiteRoot("https://127.0.0.1:8080/a.html"), "https://127.0.0.1:8080");
  EXPECT_EQ(TocSiteRoot("HTTP://host/x"), "HTTP://host");
  EXPECT_EQ(TocSiteRoot("http://host"), "");
  EXPECT_EQ(TocSiteRoot(""), "");
}

}  // namespace
}  // namespace lekto
