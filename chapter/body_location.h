#pragma once
// The first half of turning a chapter page into text: fetching it, deciding how to decode it, the optional
// pre-processing, and finding the element that holds the chapter body. The body is found statistically: of
// all div and span elements, the one holding the most Chinese characters wins.
#include "chapter/book.h"
#include "chapter/controls.h"
#include "text/page_charset.h"

#include <string>
#include <string_view>

namespace lekto {

// The response for the page at `link`, its body as it arrived (NUL bytes included); an empty body when the
// fetch fails. An empty link is not fetched.
http::Response FetchPage(const Fetcher& fetch, const std::string& link);

// The page as GBK text, up to its first NUL byte: a page that declares a UTF form is converted from it; any
// other page is percent-decoded as UTF-8 when "转码" is ticked, and otherwise read in the charset decided for
// it (a GBK page stays as it is).
std::string DecodePage(std::string body, const text::PageCharset& charset, const Controls& controls);

// With "预处理" ticked, removes the closing-div markers that hide a body from the div/span search.
std::string PreprocessPage(std::string page, const Controls& controls);

// The viewer turns one site's continue-reading button into a plain "下一页" link.
std::string NormaliseContinueButton(std::string page);

// Number of characters U+4E00..U+9FA5 in GBK text.
int CountHan(std::string_view text);
// True for the two bytes of a GB2312 ideograph, the common case CountHan takes without a table look-up.
bool IsGb2312Han(unsigned char lead, unsigned char trail);

// The inside of the div or span holding the most Chinese characters (the first of equals); one holding more
// than half of the page's Chinese characters wins at once. Empty when no candidate holds any.
std::string PickBodyCandidate(std::string_view page);

// The same pick as a view into `page`, with the Chinese characters it holds and the page holds, counted once.
struct BodyCandidate {
  std::string_view text;
  int han = 0;
  int pageHan = 0;
};
BodyCandidate FindBodyCandidate(std::string_view page);

}  // namespace lekto
