#pragma once
// Four-byte forms: how the working text keeps characters that GBK lacks (rare ideographs, kana outside GBK,
// emoji, private-use characters) until a book is written, instead of turning them into "?" at the page.
//
// A four-byte form has the shape of a GB18030 four-byte sequence, [81-FE][30-39][81-FE][30-39]. GB18030 is a
// strict superset of GBK: every GBK character keeps its bytes, so the texts, markers and patterns of the program
// are untouched, and the two-byte stepping of older code (a byte of 0x80 or more and the byte after it) never
// cuts a form anywhere but in its middle. Two kinds of forms occur:
// - real GB18030 sequences, which some sites declaring GBK send and which have always passed through raw;
// - kept characters, made by Utf8ToText from UTF-8 pages. They use the range GB18030 leaves unassigned above
//   its last code (lead bytes E4-FE), so they can never be mistaken for the bytes of a page: a GBK book turns
//   exactly these into "?" (as the conversion of the page did before), and leaves real GB18030 bytes as they
//   always were.
// The kept range holds the planes 0-3 and 14 of Unicode (every assigned ideograph, symbol and emoji); the
// private-use planes 15 and 16 still become "?".
#include <cstddef>
#include <string>
#include <string_view>

namespace lekto::text {

// True when the four bytes at s[i] form a four-byte form (i + 3 < n).
// The digit test comes first: it is the one that fails at almost every character of Chinese text.
inline bool IsFourByteFormAt(const unsigned char* s, std::size_t n, std::size_t i) {
  return i + 3 < n && static_cast<unsigned>(s[i + 1] - 0x30) < 10 && static_cast<unsigned>(s[i] - 0x81) < 0x7E &&
         static_cast<unsigned>(s[i + 2] - 0x81) < 0x7E && static_cast<unsigned>(s[i + 3] - 0x30) < 10;
}

// The character of the four-byte form at `s` (checked with IsFourByteFormAt): a kept character, or a real
// GB18030 one; U+FFFD for a code GB18030 does not assign.
char32_t DecodeFourByteForm(const unsigned char* s);

// Appends the kept form of `c` (a character GBK lacks), or "?" when it has none (planes 15 and 16).
void AppendKeptForm(std::string& out, char32_t c);

// The text with every kept character turned into "?": the text a GBK book holds, byte for byte what the
// page conversion gave before characters were kept. Real GB18030 sequences stay. `dropped`, when given, is
// increased by the number of characters turned into "?".
std::string DropKeptCharacters(std::string_view text, std::size_t* dropped = nullptr);

}  // namespace lekto::text
