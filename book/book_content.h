#pragma once
// What a book writer receives: the book's title and address and its chapters in order, all in the working text
// (GBK with four-byte forms, text/four_byte_forms.h). A chapter's text is its chapter file: the chapter title
// on the first line when the page's text lacked it, the text with CR LF line ends, and a final CR LF.
#include <string>
#include <vector>

namespace lekto {

struct BookChapter {
  std::string title;  // the chapter list's title for the row; empty when not known (a merge by hand)
  std::string text;
};

struct BookContent {
  std::string title;
  std::string sourceAddress;  // the table-of-contents address; empty when not known
  std::vector<BookChapter> chapters;
  // What the book page said of the book; each empty when not known.
  std::string author;
  std::string description;  // lines joined by CR LF
  std::string cover;        // the cover picture's bytes, a kind CoverImageType (book/cover_image.h) knows
};

}  // namespace lekto
