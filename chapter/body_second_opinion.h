#pragma once
// The chapter body where the written rule plainly fails: the page is read as a browser reads it and its best
// text block is taken instead. The written pick stays wherever it holds the body and nothing but the body.
#include "html/page_reading.h"

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

// True when the written pick holds the body but also page residue that the written cleanup leaves in the
// reader's text: the code of a script or style element, a comment, a line that opens with a tag the cleanup
// cannot remove, or a short line carrying a web address (a site's watermark). Markup inside a sentence (a link
// the site left in the prose) is not residue: the written text keeps it, as it always did.
// Such a pick plainly failed when the best text block of the page is the same body without the residue: the
// block holds at least 4/5 of the pick's Chinese characters, holds the middle of the pick's text, and is long
// enough to be a chapter. `bestBlockText` (the best block's text, empty when the page has none) is asked only
// when residue is found: the residue check reads the pick alone, and the page is parsed only after it.
bool BodyPickLeftResidue(std::string_view pick, int pickHan, const std::function<std::string_view()>& bestBlockText);

// True when the written pick is readers' discussion, not the chapter: a comment list's block (items with a
// name, a date and "回复"/"Reply") holds the middle of the pick, and the page's best block is other text long
// enough to be a chapter. Comments lose to the chapter however much longer they are.
bool BodyPickIsDiscussion(std::string_view pick, const html::PageReading& reading);

// The body lines of a text block with the page's own markup between them, as a pick of them would hold them,
// so that the cleanup lays them out as it lays out the written pick of a page of the same site (indents, line
// breaks, blank lines). Where text the reading left out stands between two lines, a line break stands instead.
// `blockText` (the block's lines joined by CR LF) when the block's lines cannot be followed back to the page, or
// when the markup would show characters the block does not hold.
std::string LayOutLikeAPick(const html::BlockSource& source, std::string_view blockText);

// The written pick of the page (PickBodyCandidate), or, when BodyPickFailed, BodyPickLeftResidue or
// BodyPickIsDiscussion, the best text block laid out like a pick. Either goes through the same cleanup chain
// afterwards.
std::string PickChapterBody(std::string_view page);

}  // namespace lekto
