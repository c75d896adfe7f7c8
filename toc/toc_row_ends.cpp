#include "toc/toc_row_ends.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"
#include "toc/toc_second_opinion.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace lekto {
namespace {

bool IsDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}
int DigitValue(char16_t c) {
  return c >= u'０' ? c - u'０' : c - u'0';
}
bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\u3000';
}
bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

int ChineseDigit(char16_t c) {
  static constexpr std::u16string_view kDigits = u"零一二三四五六七八九";
  if (c == u'〇') return 0;
  if (c == u'两') return 2;
  const std::size_t at = kDigits.find(c);
  return at == std::u16string_view::npos ? -1 : static_cast<int>(at);
}
int ChineseUnit(char16_t c) {
  switch (c) {
    case u'十':
      return 10;
    case u'百':
      return 100;
    case u'千':
      return 1000;
    case u'万':
      return 10000;
    default:
      return 0;
  }
}

// A number in Arabic or Chinese numerals at `pos`, advancing `pos`; std::nullopt when none stands there.
std::optional<long> ReadNumber(std::u16string_view text, std::size_t& pos) {
  if (pos < text.size() && IsDigit(text[pos])) {
    long value = 0;
    for (; pos < text.size() && IsDigit(text[pos]); ++pos)
      value = std::min(value * 10 + DigitValue(text[pos]), 1L << 40);
    return value;
  }
  // 一千二百零三: digits times units, 万 scales what came before; a unit without a digit counts one (十二).
  long total = 0, section = 0, digit = -1;
  const std::size_t start = pos;
  for (; pos < text.size(); ++pos) {
    if (const int d = ChineseDigit(text[pos]); d >= 0) {
      digit = d;
    } else if (const int unit = ChineseUnit(text[pos]); unit == 10000) {
      total += (section + std::max(digit, 0L)) * unit;
      section = 0;
      digit = -1;
    } else if (unit > 0) {
      section += (digit < 0 ? 1 : digit) * unit;
      digit = -1;
    } else {
      break;
    }
  }
  if (pos == start) return std::nullopt;
  return total + section + std::max(digit, 0L);
}

bool IsChapterWord(char16_t c) {
  return std::u16string_view(u"章节節回话話集篇").find(c) != std::u16string_view::npos;
}

// The title with ASCII letters lower-cased, and what the first word-split of its bytes gives.
std::vector<std::string> Words(std::string_view title) {
  std::vector<std::string> words;
  for (const std::string& word : text::Split(title, " ")) {
    if (!word.empty()) words.push_back(text::ToLowerAscii(word));
  }
  return words;
}

bool AllDigits(std::string_view word, std::string_view also = {}) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [&](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) || also.find(c) != std::string_view::npos;
  });
}

// "2023-05-01", "23/07/29", "3/13/2016" (two separators of one kind), "12:30", "12:30:05".
bool IsDateOrTime(std::string_view word) {
  if (!AllDigits(word, "-/.:") || !std::isdigit(static_cast<unsigned char>(word.front())) ||
      !std::isdigit(static_cast<unsigned char>(word.back()))) {
    return false;
  }
  for (const char separator : {'-', '/', '.'}) {
    if (std::count(word.begin(), word.end(), separator) == 2 &&
        word.find_first_not_of(std::string("0123456789") + separator) == std::string_view::npos)
      return true;
  }
  const auto colons = std::count(word.begin(), word.end(), ':');
  return (colons == 1 || colons == 2) && word.find_first_not_of("0123456789:") == std::string_view::npos &&
         word.find("::") == std::string_view::npos;
}

bool IsTimeUnit(std::string_view word) {
  for (std::string_view unit : {"second", "minute", "min", "hour", "hr", "day", "week", "month", "year"}) {
    if (word == unit || word == std::string(unit) + "s") return true;
  }
  return false;
}

// How many words at the end of `words` (before `end`) are a time, a date or a word count; 0 when none.
std::size_t ExtraAtEnd(const std::vector<std::string>& words, std::size_t end) {
  const auto at = [&](std::size_t back) -> const std::string& { return words[end - back]; };
  // "6 hours ago", "Released 1 day ago", "updated 2 days ago"
  if (end >= 3 && at(1) == "ago" && IsTimeUnit(at(2)) && AllDigits(at(3))) {
    std::size_t n = 3;
    if (end >= 4) {
      for (std::string_view verb : {"released", "updated", "posted", "published"}) n += at(4) == verb ? 1 : 0;
    }
    return n;
  }
  // "2,301 words", "(2301 words)"
  if (end >= 2 && (at(1) == "words" || at(1) == "words)") && AllDigits(text::ReplaceAll(at(2), "(", ""), ",."))
    return 2;
  if (IsDateOrTime(at(1))) return 1;
  // "3000字", "字数：3000"
  static const std::string kCharacters = text::Gbk(u8"字"), kCount = text::Gbk(u8"字数：");
  const std::string& last = at(1);
  if (text::EndsWith(last, kCharacters) && AllDigits(last.substr(0, last.size() - kCharacters.size()), ",")) return 1;
  if (text::StartsWith(last, kCount) && AllDigits(last.substr(kCount.size()), ",")) return 1;
  return 0;
}

bool IsSeparator(std::string_view word) {
  static const std::string kDot = text::Gbk(u8"·");
  return word == "-" || word == "|" || word == "/" || word == kDot || word == "\xA1\xA4";
}

// Short texts of buttons and menu entries that lead into the book rather than name one chapter.
bool IsButton(std::string_view title) {
  const std::string lower = text::ToLowerAscii(text::Trim(title));
  if (lower.size() > 40) return false;
  for (std::string_view phrase :
       {"read first chapter", "read latest chapter", "read last chapter", "read now", "start reading",
        "continue reading", "read the first chapter", "first chapter", "latest chapter", "read chapter 1"}) {
    if (lower == phrase) return true;
  }
  for (const char8_t* phrase : {u8"开始阅读", u8"从头阅读", u8"从头开始阅读", u8"立即阅读", u8"继续阅读", u8"点击阅读",
                                u8"在线阅读", u8"最新章节", u8"阅读第一章", u8"查看目录", u8"章节目录"}) {
    if (lower == text::Gbk(phrase)) return true;
  }
  return false;
}

}  // namespace

std::optional<long> ChapterNumber(std::string_view title) {
  const std::u16string wide = text::ToWide(title, 936);
  for (std::size_t i = wide.find(u'第'); i != std::u16string::npos; i = wide.find(u'第', i + 1)) {
    std::size_t pos = i + 1;
    while (pos < wide.size() && IsBlank(wide[pos])) ++pos;
    const std::optional<long> number = ReadNumber(wide, pos);
    while (pos < wide.size() && IsBlank(wide[pos])) ++pos;
    if (number && pos < wide.size() && IsChapterWord(wide[pos])) return number;
  }
  std::size_t pos = 0;
  while (pos < wide.size() && IsBlank(wide[pos])) ++pos;
  if (pos < wide.size() && (IsDigit(wide[pos]) || ChineseDigit(wide[pos]) >= 0 || ChineseUnit(wide[pos]) > 0)) {
    const bool arabic = IsDigit(wide[pos]);
    const std::optional<long> number = ReadNumber(wide, pos);
    // Chinese numerals open many a title as a word ("一念之间"): a number only when set apart from the title.
    if (arabic || pos == wide.size() || IsBlank(wide[pos]) || wide[pos] == u'、' || wide[pos] == u'.') return number;
    return std::nullopt;
  }
  const std::size_t word = pos;
  while (pos < wide.size() && IsLetter(wide[pos])) ++pos;
  if (pos == word || pos - word > 8) return std::nullopt;
  if (pos < wide.size() && wide[pos] == u'.') ++pos;
  while (pos < wide.size() && IsBlank(wide[pos])) ++pos;
  if (pos < wide.size() && IsDigit(wide[pos])) return ReadNumber(wide, pos);
  return std::nullopt;
}

namespace {

// Most titles carry nothing beside them; what does ends in a word with a digit or in "ago" or "words", or starts
// with a row number.
bool MayCarryExtras(std::string_view title) {
  const std::size_t space = title.rfind(' ');
  if (space == std::string_view::npos) return false;
  const std::string last = text::ToLowerAscii(title.substr(space + 1));
  return std::isdigit(static_cast<unsigned char>(title.front())) || last == "ago" || last.starts_with("words") ||
         last.find_first_of("0123456789") != std::string::npos;
}

std::vector<std::optional<long>> Numbers(const Book& book) {
  std::vector<std::optional<long>> numbers;
  numbers.reserve(book.chapterTitles.size());
  for (const std::string& title : book.chapterTitles) numbers.push_back(ChapterNumber(title));
  return numbers;
}

bool MostlyDown(const std::vector<std::optional<long>>& numbers) {
  int up = 0, down = 0;
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    if (numbers[i] && numbers[i - 1] && *numbers[i] != *numbers[i - 1])
      (*numbers[i] > *numbers[i - 1] ? up : down) += 1;
  }
  return down >= 2 && down > 2 * up;
}

// DropRunEnds over the rows' numbers, which lose the same rows.
void DropRunEnds(Book& book, std::vector<std::optional<long>>& numbers) {
  const std::size_t n = book.chapterTitles.size();
  const int order = MostlyDown(numbers) ? -1 : 1;
  std::size_t head = 0, tail = n;
  // A numbered row that steps against the run to its neighbour and names a chapter outside the rest of the
  // list, or one the rest lists again, is not part of the run.
  const auto outOfRun = [&](std::size_t row, std::size_t neighbour, int direction) {
    if (!numbers[row] || !numbers[neighbour]) return false;
    if ((*numbers[neighbour] - *numbers[row]) * direction * order >= 0) return false;
    long low = 0, high = 0;
    bool any = false, again = false;
    for (std::size_t i = head; i < tail; ++i) {
      if (i == row || !numbers[i]) continue;
      low = any ? std::min(low, *numbers[i]) : *numbers[i];
      high = any ? std::max(high, *numbers[i]) : *numbers[i];
      any = true;
      again = again || *numbers[i] == *numbers[row];
    }
    return again || *numbers[row] < low || *numbers[row] > high;
  };
  for (bool changed = true; changed && tail - head >= 3;) {
    changed = false;
    if (IsButton(book.chapterTitles[head]) || outOfRun(head, head + 1, 1)) {
      ++head;
      changed = true;
    } else if (IsButton(book.chapterTitles[tail - 1]) || outOfRun(tail - 1, tail - 2, -1)) {
      --tail;
      changed = true;
    }
  }
  const auto keep = [&](auto& list) {
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(tail), list.end());
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(head));
  };
  keep(book.chapterTitles);
  keep(book.chapterLinks);
  keep(numbers);
}

}  // namespace

std::string StripRowExtras(std::string_view title) {
  if (!MayCarryExtras(title)) return std::string(title);
  const std::vector<std::string> words = Words(title);
  std::size_t end = words.size();
  while (end > 1) {
    const std::size_t extra = ExtraAtEnd(words, end);
    if (extra == 0 || extra >= end) break;
    end -= extra;
    while (end > 1 && IsSeparator(words[end - 1])) --end;
  }
  std::size_t begin = 0;
  // A row number in front of a title that names the same chapter: "001 Chapter 001".
  if (end >= 3 && AllDigits(words[0])) {
    std::string rest;
    for (std::size_t i = 1; i < end; ++i) rest += (i > 1 ? " " : "") + words[i];
    const std::optional<long> number = ChapterNumber(rest);
    if (HasChapterMarker(rest) && number && number == ChapterNumber(words[0])) begin = 1;
  }
  if (begin == 0 && end == words.size()) return std::string(title);
  // Cut the original text (its letter case) at the same words.
  std::vector<std::string> original;
  for (const std::string& word : text::Split(title, " ")) {
    if (!word.empty()) original.push_back(word);
  }
  std::string kept;
  for (std::size_t i = begin; i < end; ++i) kept += (i > begin ? " " : "") + original[i];
  return kept;
}

bool ListsNewestFirst(const Book& book) {
  return MostlyDown(Numbers(book));
}

void DropRunEnds(Book& book) {
  std::vector<std::optional<long>> numbers = Numbers(book);
  DropRunEnds(book, numbers);
}

void MendRunEnds(Book& book) {
  std::vector<std::optional<long>> numbers = Numbers(book);
  DropRunEnds(book, numbers);
  for (std::string& title : book.chapterTitles) title = StripRowExtras(title);
  // Stripping changes no title's number: the numbers read before it still hold.
  if (MostlyDown(numbers)) {
    std::reverse(book.chapterTitles.begin(), book.chapterTitles.end());
    std::reverse(book.chapterLinks.begin(), book.chapterLinks.end());
    book.listedNewestFirst = true;
  }
}

}  // namespace lekto
