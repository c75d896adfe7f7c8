#pragma once
// The EPUB 3 form of a book: one XHTML document per chapter (the chapter title as its heading, every non-empty
// line a paragraph), a navigation document listing every chapter in order, and the package metadata: title,
// language (zh or en, as the text shows), an identifier that stays the same for the same table of contents (so a
// reader takes an updated book for the same book), the source address, and where the book page gave them the
// author, the description and the cover picture (a JPEG, PNG or GIF; a WebP picture is left out, since EPUB 3.2
// readers refuse it). The archive holds the "mimetype"
// file first and uncompressed, as the container format asks.
#include <string>
#include <string_view>

#include "book/book_content.h"

namespace lekto {

// The archive's bytes; empty when it could not be built. `modified` is the modification time the package
// carries, as "2026-12-08T19:30:00Z".
std::string EpubBookBytes(const BookContent& book, std::string_view modified);

// The current time (UTC) in the form EpubBookBytes takes.
std::string EpubTimestampNow();

// "zh" when the UTF-8 text is mostly Chinese, "en" otherwise.
std::string_view TextLanguage(std::string_view utf8);

}  // namespace lekto
