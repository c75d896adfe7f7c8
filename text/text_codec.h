#pragma once
// TextCodec: recognising pages that declare a UTF charset, UTF-8 <-> GBK <-> UTF-16 conversion and
// percent-decoding. Conversions are complete and never fail: an invalid or unmappable character becomes "?"
// and the rest of the text survives. GBK here is code page 936 as Windows defines it (0x80 is the euro sign).
#include <cstddef>
#include <string>
#include <string_view>

namespace lekto::text {

// The charset the first "charset=" declaration of a page (any letter case, quotes allowed) names, as written;
// empty when there is none. Works as well on a Content-Type value.
std::string DeclaredCharset(std::string_view page);
// True when that charset contains "UTF" in any letter case.
bool DeclaresUtfCharset(std::string_view page);
// True when a charset name contains "UTF" in any letter case.
bool IsUtfCharsetName(std::string_view name);

// Code pages: 65001 UTF-8, 936 GBK, 0 the system ANSI code page (which is GBK here); any other gives an empty
// result. Texts end at their first NUL (byte or unit); the whole of the rest is converted. Invalid input
// becomes U+FFFD in ToWide; in FromWide, characters (and lone surrogates) without a form in the target become
// "?" for GBK and U+FFFD for UTF-8.
std::u16string ToWide(std::string_view text, int codePage = 65001);
std::string FromWide(std::u16string_view wide, int codePage = 0);

// UTF-8 bytes -> GBK text. One "?" stands for each ill-formed sequence (its maximal subpart, as Unicode
// recommends) and for each character GBK lacks, such as an emoji. A leading byte order mark is dropped.
std::string Utf8ToAnsi(std::string_view utf8);
// UTF-8 bytes -> working text: as Utf8ToAnsi, but a character GBK lacks is kept as its four-byte form
// (four_byte_forms.h) rather than "?". How pages, typed rules and titles enter the program, so that a UTF-8 or
// EPUB book still has them; a GBK book turns them into "?" when it is written.
std::string Utf8ToText(std::string_view utf8);
// GBK text -> UTF-8: the boundary to Qt, the terminal, file names and the UTF-8 and EPUB books. Four-byte forms
// become their characters; invalid characters become U+FFFD.
std::string AnsiToUtf8(std::string_view gbk);

// "%" and the two bytes after it become one byte; with `fromUtf8` the result is then read as UTF-8 (Utf8ToText).
std::string PercentDecode(std::string_view text, bool fromUtf8);

// The Unicode code point of the GBK character starting at the 0-based `pos`, advancing `pos` past it. An invalid
// or unmapped character gives U+FFFD: 0xFF, a lead byte at the end, and a lead byte followed by a byte that
// cannot be a trail byte are one byte long (that next byte is a character of its own). 0x80 alone is the euro
// sign; a four-byte form is one character. At or past the end: 0, and `pos` stays. Fast: one table look-up.
char32_t NextGbkChar(std::string_view gbk, std::size_t& pos);

// The GBK bytes of a UTF-8 literal, for the Chinese constants of the program (source files are UTF-8):
// `static const std::string kNextPage = Gbk(u8"下一页");`
std::string Gbk(std::u8string_view utf8);

}  // namespace lekto::text
