#pragma once
// The ends and the order of a chapter list, whichever reading found it: a chapter list is one run of rows that read
// as chapters in document order. What stands at its head or tail without belonging to that run (buttons, the
// newest chapters put first), what a row's link text carries beside the title (a date, a word count), and a list
// that runs newest first are mended here.
#include "chapter/book.h"

#include <optional>
#include <string>
#include <string_view>

namespace lekto {

// The number a chapter title gives: 第N章 in Arabic or Chinese numerals, or the number a title opens with, bare
// ("92、悬浮一族", "七百八十九 斗转星移") or after one short word ("Chapter 12", "c196", "Ep. 3").
std::optional<long> ChapterNumber(std::string_view title);

// `title` without what a site writes beside it inside the link: a time ("6 hours ago", "Released 1 day ago",
// "2023-05-01 12:30"), a word count ("· 2,301 words", "3000字"), and a row number in front of a title that
// carries the same number ("001 Chapter 001"). The title itself stays as the page shows it.
std::string StripRowExtras(std::string_view title);

// Drops at the head and at the tail only the rows that are not part of the run: buttons ("Read First Chapter",
// "开始阅读"), and numbered rows that step against the order of the run to a chapter outside it or again below
// it (the newest chapters above a list that starts at chapter 1).
void DropRunEnds(Book& book);

// True when the numbered rows run from the newest chapter down: most steps between neighbours go down.
bool ListsNewestFirst(const Book& book);

// Mends the ends and the titles, and turns a newest-first list into reading order (book.listedNewestFirst).
void MendRunEnds(Book& book);

}  // namespace lekto
