#pragma once
// The fixture novel site's big books (tests/fixtures/README.md): /bigN/index.html lists N one-page chapters
// /bigN/1.html ... and expected/bigN/ holds the rows (rows.tsv: title TAB path, UTF-8) and each row's chapter
// text in GBK (R.txt, without the final line break the chapter file adds).
#include "chapter/book.h"
#include "support/temp_folder.h"
#include "support/test_server.h"
#include "text/text_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

namespace lekto::testsupport {

inline const std::filesystem::path kFixtureSite = LEKTO_FIXTURE_SITE;

// Books run to hundreds of kilobytes: on a mismatch, say where it starts instead of printing both.
inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  const std::size_t common = std::min(actual.size(), expected.size());
  const std::size_t at =
      std::mismatch(actual.begin(), actual.begin() + common, expected.begin()).first - actual.begin();
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected; first difference at byte " << at;
}

// "长卷200" for "big200", in GBK, as the table of contents' title gives it.
inline std::string FixtureBookTitle(std::string_view book) {
  return text::Gbk(u8"长卷") + std::string(book.substr(3));
}

// What the chapter file of `row` (1-based) holds.
inline std::string ExpectedChapterFile(std::string_view book, int row) {
  return ReadFileBytes(kFixtureSite / "expected" / book / (std::to_string(row) + ".txt")) + "\r\n";
}

// The book's rows as the table of contents lists them, pointing at `server`, which serves the site at "/".
inline std::shared_ptr<Book> FixtureBook(const TestServer& server, std::string_view book) {
  auto result = std::make_shared<Book>();
  result->title = FixtureBookTitle(book);
  result->siteRoot = server.HttpUrl("");
  std::ifstream rows(kFixtureSite / "expected" / book / "rows.tsv");
  for (std::string line; std::getline(rows, line);) {
    const std::size_t tab = line.find('\t');
    result->chapterTitles.push_back(text::Utf8ToAnsi(line.substr(0, tab)));
    result->chapterLinks.push_back(server.HttpUrl(line.substr(tab + 1)));
  }
  return result;
}

}  // namespace lekto::testsupport
