#pragma once
// Text operations over GBK byte strings, with one set of rules for the whole program:
// - positions are 1-based and a failed search gives -1;
// - searches and replacements step over whole characters: a lead byte (0x81 to 0xFE) starts a two-byte
//   character, or a four-byte one when it begins a four-byte form (four_byte_forms.h), so a match never begins
//   inside a character; 0x80 (the euro sign) and 0xFF are characters of one byte, as the codec and the pattern
//   engine read them;
// - ignoring letter case, upper- and lower-casing touch the ASCII letters only;
// - left, right and middle take byte counts and clamp counts that run past either end;
// - trimming removes ASCII spaces and full-width spaces (A1 A1) only, never tabs or line breaks;
// - splitting keeps empty pieces between two adjacent separators, keeps the last piece only when it is not
//   empty, and gives no pieces for an empty text.
#include <string>
#include <string_view>
#include <vector>

namespace lekto::text {

// Position of `what` in `text`, searching from `start` (taken as the start of a character; below 1 means 1);
// -1 when absent. An empty `what` is found at `start` when `start` lies within the text (or just past its end).
int Find(std::string_view text, std::string_view what, int start = 1, bool ignoreCase = false);
bool Contains(std::string_view text, std::string_view what, bool ignoreCase = false);
// Position of the last occurrence of `what`; -1 when absent or empty.
int FindLast(std::string_view text, std::string_view what, bool ignoreCase = false);

// Every occurrence of `from` replaced by `to`, scanning left to right without rescanning replaced text.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to, bool ignoreCase = false);

std::vector<std::string> Split(std::string_view text, std::string_view separator);
std::string Trim(std::string_view text);

std::string Left(std::string_view text, int count);
std::string Right(std::string_view text, int count);
// `count` < 0 takes everything from `start` to the end; a `start` below 1 counts as 1.
std::string Mid(std::string_view text, int start, int count = -1);

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

bool StartsWith(std::string_view text, std::string_view prefix);
// True only when the suffix also begins a character of `text`.
bool EndsWith(std::string_view text, std::string_view suffix);

// Every "#引号" replaced by a double quote: the placeholder lets markers and patterns that are themselves written
// inside quotes name a quote.
std::string ExpandQuotePlaceholder(std::string_view text);

// The text up to its first NUL byte: how a page body becomes text.
std::string UpToNul(std::string_view bytes);

}  // namespace lekto::text
