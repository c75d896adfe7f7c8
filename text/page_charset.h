#pragma once
// How the bytes of a fetched page are to be read, decided as a browser decides it, and their conversion into
// the GBK the core works in. The written rule (a page whose first "charset=" names a UTF form is UTF-8, any
// other page is GBK) gives the same result wherever it read a page right; the rest widens it:
//  1. a byte-order mark wins;
//  2. bytes that are valid UTF-8 with Chinese in them are UTF-8, whatever the page or the header claims;
//  3. then the page's first "charset=", then the charset of the HTTP Content-Type header. A UTF declaration
//     that the bytes plainly contradict gives way to the other declaration, else to how the first page of the
//     chapter or table of contents was read, else to the bytes (rule 5); GBK, GB2312 and GB18030 are read
//     as GBK, as before; any other charset glibc's iconv knows (Big5, Shift_JIS, windows-1252, ...) is
//     converted;
//  4. a continuation page that names no charset reads as the chapter's first page did;
//  5. a page that names none at all: valid UTF-8 is UTF-8; otherwise uchardet may name a Big5, Japanese or
//     Korean encoding, and anything else stays GBK. uchardet alone is no judge of GBK: on short GBK text it
//     answers windows-1252 or ISO-8859-7, so only its East Asian multi-byte answers count.
#include <string>
#include <string_view>

namespace lekto::text {

struct PageCharset {
  enum class Kind { kGbk, kUtf8, kOther };
  Kind kind = Kind::kGbk;
  std::string name;  // kOther: the charset as iconv names it ("BIG5-HKSCS", "UTF-16LE", "WINDOWS-1252", ...)
  // A byte-order mark, the page or the header names a UTF form. "转码" does not apply to such a page, as it
  // never applied to a page that declared UTF.
  bool declaresUtf = false;
};

// `body`: the page's bytes as they arrived; `contentType`: the response's Content-Type value (may be empty);
// `firstPage`: for a continuation page, how the chapter's first page was read.
PageCharset DecidePageCharset(std::string_view body, std::string_view contentType,
                              const PageCharset* firstPage = nullptr);

// The page as GBK text up to its first NUL. A character GBK lacks is kept as its four-byte form (Utf8ToText); a
// byte sequence that is not valid in the page's charset becomes "?". GBK pages pass byte for byte.
std::string PageToGbk(std::string_view body, const PageCharset& charset);

}  // namespace lekto::text
