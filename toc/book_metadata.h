#pragma once
// What a book page (the table of contents) says of the book besides its title: the author, a description and
// the cover picture's address, for the metadata of the book written from it. Novel sites name them in Open
// Graph meta tags ("og:novel:author", "og:description", "og:image"); a page without the author tag often shows a
// line "作者：某某" in its information block, which is read instead.
#include <string>
#include <string_view>

#include "chapter/book.h"

namespace lekto {

// `page` is the first table-of-contents page in the working text; `address` and `siteRoot` are what its links
// resolve against. Parts the page does not give stay empty: an author or description that is blank or absurdly
// long, a cover address that is no web address.
BookMetadata ReadBookMetadata(std::string_view page, std::string_view address, std::string_view siteRoot);

// The author named by the first "作者：" (or "作者:", "作 者：") line of visible text whose label is not itself
// link text: what follows the colon on that line, up to the next field of the line. Empty when no line gives a
// name.
std::string AuthorFromText(std::string_view page);

}  // namespace lekto
