#pragma once
// The chapter body where the written rule plainly fails: the page is read as a browser reads it and its best
// text block is taken instead. The written pick stays wherever it holds the body.
#include <functional>
#include <string>
#include <string_view>

namespace lekto {

// A written pick holding less than 1 / kFarLess of the best block's body text has missed the body. On the saved
// real pages a pick that holds the body has at least 98% of the best block's text (the block leaves navigation
// and address lines out), and the one that missed it (a disclaimer box beside bare text) has 5%.
inline constexpr int kFarLess = 2;

// True when the written pick plainly failed: it is empty, or holds far less body text (Chinese characters, or
// words on a page without Chinese) than the best text block of the page, and that block is long enough to be a
// chapter (a short notice or an error page never replaces the pick). A pick holding at least 1 / kFarLess of
// the page's Chinese characters (and some) cannot hold far less than any block, and stands without a parse:
// `bestUnits` is asked only when the counts of the written rule cannot settle it.
bool BodyPickFailed(int pickHan, int pageHan, const std::function<int()>& bestUnits);

// The written pick of the page (PickBodyCandidate), or, when BodyPickFailed, the best text block's lines joined
// by CR LF. Either goes through the same cleanup chain afterwards.
std::string PickChapterBody(std::string_view page);

}  // namespace lekto
