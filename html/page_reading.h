#pragma once
// PageReading: a page read the way a browser reads it, by a real HTML5 parser. This is the one place that owns a
// parse tree; it hands out plain results: the page's links with their visible text, its text blocks with their
// scores, and the places a book title may stand. Input and output texts are GBK, as everywhere in the core.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lekto::html {

struct PageLink {
  std::string href;  // the href attribute as written, character references decoded
  std::string text;  // every piece of visible text inside the link, on one line, white space collapsed
  // A link laid out as several boxes (a title, then a date, then a status mark) shows its title first: the
  // text of the first box that holds any. Equal to `text` for a link whose text is one piece.
  std::string leadText;
};

// The visible text of one container element (div, td, article, section, pre, body, ...) that no nested
// container holds: its own bare text, its paragraphs, spans and inline markup. Lines are broken where a browser
// breaks them (br, p, headings, list items, nested containers).
struct TextBlock {
  std::string text;         // the body lines, joined by CR LF; navigation and address lines left out
  int units = 0;            // Chinese characters on the body lines, or words on a page without Chinese
  int paragraphs = 0;       // body lines that hold any text
  int punctuation = 0;      // sentence punctuation on the body lines
  int linkUnits = 0;        // units inside links, on every line of the block
  double score = 0;         // (units + punctuation + paragraphs), scaled down by the share of link text
  bool discussion = false;  // the block lies in one item of a list of comments (each with a date and "Reply")
  // Where each body line stands in the page read (PageReading::utf8): its first and last text, character
  // references and inline markup as the page writes them. Empty when the lines cannot be followed back to the
  // page in order (preformatted text, text a parser moves out of a table).
  std::vector<std::pair<std::size_t, std::size_t>> lineSpans;
};

// The body lines of a block as the page writes them, and the page's own markup between each two of them, in
// GBK: what a written pick of the same lines would hold. Empty `lines` when the block has no line spans.
struct BlockSource {
  std::vector<std::string> lines;
  std::vector<std::string> gaps;  // gaps[i] stands between lines[i] and lines[i + 1]
};

struct PageReading {
  std::vector<PageLink> links;    // document order; links without href are left out
  std::vector<TextBlock> blocks;  // document order of their containers; blocks without units are left out
  bool chinese = false;           // the page's visible text counts more Chinese characters than words
  // Where a book's name may stand, in this order when present: og:title, the first h1, the title element.
  std::string ogTitle;
  std::string heading;
  std::string titleElement;
  std::string utf8;  // the page as it was parsed, which the blocks' line spans point into
};

PageReading ReadPage(std::string_view gbkPage);

// The block with the highest score (the first of equals), discussion only where the page has nothing else;
// nullptr when the page has no block.
const TextBlock* BestBlock(const PageReading& reading);

BlockSource SourceOf(const PageReading& reading, const TextBlock& block);

}  // namespace lekto::html
