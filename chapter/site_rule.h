#pragma once
// One site gets its own extraction: its chapter body is the element with id "content", its continuation pages
// are linked with "下一页" and always UTF-8, and it pads the body with markers that are removed here.
#include "chapter/chapter_pipeline.h"

#include <string>
#include <string_view>

namespace lekto {

// The host-name fragment that selects the site: a row whose link contains it is extracted here instead of by
// the statistical search and the page loop. The mobile xbiquge mirrors serve long chapters in pages inside
// div#content and close each page with "-->>本章未完，点击下一页继续阅读".
inline constexpr std::string_view kSpecialSiteFragment = "xbiquge";

bool IsSpecialSite(std::string_view link);

// The whole body of row `row` of the special site, starting from its first page (already decoded and
// pre-processed): the inside of id="content" of every page, each followed by CR LF, with the site's markers
// removed.
std::string ExtractSpecialSite(int row, std::string firstPage, const ChapterJob& job);

}  // namespace lekto
