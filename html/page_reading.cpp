#include "html/page_reading.h"

#include "html/comment_lists.h"
#include "text/text_codec.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <iterator>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace lekto::html {
namespace {

// The parser's tree is freed with the options it was made with.
struct GumboOutputDeleter {
  void operator()(GumboOutput* output) const { gumbo_destroy_output(&kGumboDefaultOptions, output); }
};
using GumboTree = std::unique_ptr<GumboOutput, GumboOutputDeleter>;

// Deeper nesting than this is read as if it were not there: no real page needs it, and a crafted one must not
// exhaust the stack.
constexpr int kMaxDepth = 400;
// Pages whose elements may nest deeper than this are not parsed at all (see ReadPage).
constexpr int kMaxParseNesting = 5000;

std::string_view Utf8(std::u8string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// The code point at `pos` of UTF-8 text, advancing `pos`; an ill-formed byte is U+FFFD and one byte long (the
// parser already replaced ill-formed input, so this is only a guard).
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  int length = b0 < 0x80 ? 1 : b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (length == 0 || pos + length > text.size()) {
    ++pos;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? b0 : b0 & (0x7F >> length);
  for (int i = 1; i < length; ++i) c = (c << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  pos += static_cast<std::size_t>(length);
  return c;
}

bool IsHan(char32_t c) {
  return c >= 0x4E00 && c <= 0x9FA5;
}
bool IsLatinLetter(char32_t c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0x24F);
}
// White space as a browser collapses it, with the no-break space that sites use for indents.
bool IsSpace(char32_t c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == 0xA0;
}
bool IsSentencePunctuation(char32_t c) {
  switch (c) {
    case ',':
    case '.':
    case '!':
    case '?':
    case ';':
    case ':':
    case '"':
    case 0x3001:
    case 0x3002:
    case 0xFF0C:
    case 0xFF01:
    case 0xFF1F:
    case 0xFF1B:
    case 0xFF1A:
    case 0x201C:
    case 0x201D:
    case 0x300C:
    case 0x300D:
    case 0x2026:
      return true;
    default:
      return false;
  }
}

// One line of visible text as it builds up, with what it counts.
struct Line {
  std::string text;  // UTF-8
  int han = 0, words = 0, punctuation = 0;
  int linkHan = 0, linkWords = 0;
  int chars = 0, linkChars = 0;  // visible characters other than white space
  bool pendingSpace = false;
  // The first and last text of the line in the parsed page; npos while the line holds no visible text. A line
  // of preformatted text breaks inside a text node and has no span of its own.
  std::size_t sourceStart = std::string::npos, sourceEnd = 0;
  bool preformatted = false;
  // The run of visible characters since the last white space: a word when it is mostly letters, so that a blob
  // of percent-encoded bytes or a number is no word.
  int tokenChars = 0, tokenLetters = 0;
  bool tokenInLink = false;

  void EndToken() {
    if (tokenLetters > 0 && 3 * tokenLetters >= 2 * tokenChars) {
      ++words;
      linkWords += tokenInLink;
    }
    tokenChars = tokenLetters = 0;
  }

  void Append(std::string_view utf8, bool inLink) {
    for (std::size_t pos = 0; pos < utf8.size();) {
      const std::size_t start = pos;
      const char32_t c = NextCodePoint(utf8, pos);
      if (IsSpace(c)) {
        pendingSpace = !text.empty();
        EndToken();
        continue;
      }
      if (pendingSpace) text += ' ';
      pendingSpace = false;
      text.append(utf8.substr(start, pos - start));
      ++chars;
      linkChars += inLink;
      if (IsHan(c)) {
        ++han;
        linkHan += inLink;
      }
      if (tokenChars++ == 0) tokenInLink = inLink;
      tokenLetters += IsLatinLetter(c);
      punctuation += IsSentencePunctuation(c);
    }
  }
};

struct BlockLines {
  std::vector<Line> lines;
  Line current;
  bool discussion = false;  // the container is, or lies in, one item of a comment list

  void Break() {
    current.EndToken();
    if (!current.text.empty()) lines.push_back(std::move(current));
    current = Line();
  }
};

// Elements whose content is never visible text.
bool IsHidden(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_BUTTON:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_TITLE:
      return true;
    default:
      return false;
  }
}

// Elements that hold a text block of their own. Paragraphs and spans belong to the block around them, as the
// lines of a page do; page furniture (nav, header, footer, aside) is kept apart so that it never joins a body.
bool IsContainer(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_ASIDE:
      return true;
    default:
      return false;
  }
}

bool IsHeading(GumboTag tag) {
  return tag >= GUMBO_TAG_H1 && tag <= GUMBO_TAG_H6;
}

// Elements a browser starts on a line of their own.
bool BreaksLine(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_BR:
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_FIELDSET:
      return true;
    default:
      return false;
  }
}

// Boxes a link may lay its title and its date out in.
bool IsBox(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_P:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_TIME:
    case GUMBO_TAG_LABEL:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
      return true;
    default:
      return false;
  }
}

const char* Attribute(const GumboNode* node, const char* name) {
  const GumboAttribute* attribute = gumbo_get_attribute(&node->v.element.attributes, name);
  return attribute ? attribute->value : nullptr;
}

// The visible text of a subtree on one line (UTF-8), white space collapsed.
void Flatten(const GumboNode* node, Line& line, int depth) {
  if (depth > kMaxDepth) return;
  if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
    line.Append(node->v.text.text, false);
    return;
  }
  // The subtree asked for is read even when hidden (a title element); hidden elements inside it are not.
  if (node->type != GUMBO_NODE_ELEMENT || (depth > 0 && IsHidden(node->v.element.tag))) return;
  line.pendingSpace = line.pendingSpace || (BreaksLine(node->v.element.tag) && !line.text.empty());
  const GumboVector& children = node->v.element.children;
  for (unsigned i = 0; i < children.length; ++i)
    Flatten(static_cast<const GumboNode*>(children.data[i]), line, depth + 1);
}

std::string FlatText(const GumboNode* node) {
  Line line;
  Flatten(node, line, 0);
  return line.text;
}

// The text of the first box of a link laid out as several boxes; the whole text otherwise.
std::string LeadText(const GumboNode* link, const std::string& whole) {
  const GumboNode* node = link;
  for (int depth = 0; depth < kMaxDepth; ++depth) {
    std::vector<const GumboNode*> holders;
    const GumboVector& children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
      const auto* child = static_cast<const GumboNode*>(children.data[i]);
      if (child->type == GUMBO_NODE_WHITESPACE || child->type == GUMBO_NODE_COMMENT) continue;
      if (child->type == GUMBO_NODE_ELEMENT && FlatText(child).empty()) continue;
      holders.push_back(child);
    }
    if (holders.empty()) return whole;
    if (holders.size() == 1) {
      if (holders[0]->type != GUMBO_NODE_ELEMENT) return whole;
      node = holders[0];
      continue;
    }
    for (const GumboNode* holder : holders) {
      if (holder->type != GUMBO_NODE_ELEMENT || !IsBox(holder->v.element.tag)) return whole;
    }
    return FlatText(holders[0]);
  }
  return whole;
}

// An element hidden by its own style ("display: none"): a browser never shows it, and sites hide tokens so.
bool HiddenByStyle(const GumboNode* node) {
  const char* style = Attribute(node, "style");
  if (style == nullptr) return false;
  std::string compact;
  for (const char* c = style; *c != '\0' && compact.size() < 200; ++c) {
    if (*c != ' ' && *c != '\t') compact += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return compact.find("display:none") != std::string::npos;
}

class Reader {
 public:
  Reader(PageReading& reading, const char* source) : reading_(reading), source_(source) {}

  void Read(const GumboNode* root) {
    discussion_ = CommentItems(root);
    blocks_.emplace_back();  // text outside any container (before the body a browser would create)
    Walk(root, Context(), 0);
    for (BlockLines& block : blocks_) block.Break();
  }

  std::vector<BlockLines>& Blocks() { return blocks_; }

 private:
  // Where the walk stands: the block text goes to, and what encloses the node.
  struct Context {
    std::size_t block = 0;
    bool inLink = false;
    bool preformatted = false;
    // A heading names the chapter or the site, which the chapter text gets from its row: no body line. Its links
    // are still links.
    bool inHeading = false;
    bool inDiscussion = false;
    bool hiddenByStyle = false;
  };

  void Walk(const GumboNode* node, Context context, int depth) {
    if (depth > kMaxDepth) return;
    switch (node->type) {
      case GUMBO_NODE_TEXT:
      case GUMBO_NODE_WHITESPACE:
      case GUMBO_NODE_CDATA:
        if (!context.inHeading && !context.hiddenByStyle) AppendText(node->v.text, context);
        return;
      case GUMBO_NODE_DOCUMENT:
      case GUMBO_NODE_ELEMENT:
      case GUMBO_NODE_TEMPLATE:
        break;
      default:
        return;
    }
    const GumboVector* children = nullptr;
    if (node->type == GUMBO_NODE_DOCUMENT) {
      children = &node->v.document.children;
    } else {
      const GumboTag tag = node->v.element.tag;
      Note(node, tag);
      if (IsHidden(tag)) return;
      // A box its style hides shows no text; its links are still the page's links (tabs a script reveals).
      if (HiddenByStyle(node)) context.hiddenByStyle = true;
      // A comment is a block of its own, whatever element holds it (a list item, a paragraph).
      const bool comment = discussion_.count(node) > 0;
      if (comment) context.inDiscussion = true;
      children = &node->v.element.children;
      if (tag == GUMBO_TAG_A && Attribute(node, "href")) context.inLink = true;
      if (tag == GUMBO_TAG_PRE) context.preformatted = true;
      if (IsHeading(tag)) context.inHeading = true;
      if (IsContainer(tag) || comment) {
        blocks_[context.block].Break();
        context.block = blocks_.size();
        blocks_.emplace_back();
        blocks_.back().discussion = context.inDiscussion;
      } else if (BreaksLine(tag)) {
        blocks_[context.block].Break();
      }
    }
    for (unsigned i = 0; i < children->length; ++i) {
      Walk(static_cast<const GumboNode*>(children->data[i]), context, depth + 1);
    }
    if (node->type == GUMBO_NODE_ELEMENT && BreaksLine(node->v.element.tag)) blocks_[context.block].Break();
  }

  void AppendText(const GumboText& node, const Context& context) {
    const std::string_view text = node.text;
    BlockLines& block = blocks_[context.block];
    if (!context.preformatted) {
      Line& line = block.current;
      line.Append(text, context.inLink);
      if (!line.text.empty() && node.original_text.data != nullptr) {
        const auto start = static_cast<std::size_t>(node.original_text.data - source_);
        if (line.sourceStart == std::string::npos) line.sourceStart = start;
        line.sourceEnd = start + node.original_text.length;
      }
      return;
    }
    for (std::size_t start = 0; start <= text.size();) {
      const std::size_t end = std::min(text.find('\n', start), text.size());
      block.current.Append(text.substr(start, end - start), context.inLink);
      block.current.preformatted = true;
      if (end == text.size()) break;
      block.Break();
      start = end + 1;
    }
  }

  // Links and the places of the book's name.
  void Note(const GumboNode* node, GumboTag tag) {
    if (tag == GUMBO_TAG_A) {
      if (const char* href = Attribute(node, "href")) {
        std::string text = FlatText(node);
        std::string lead = LeadText(node, text);
        reading_.links.push_back(PageLink{text::Utf8ToText(href), text::Utf8ToText(text), text::Utf8ToText(lead)});
      }
    } else if (tag == GUMBO_TAG_TITLE && reading_.titleElement.empty()) {
      reading_.titleElement = text::Utf8ToText(FlatText(node));
    } else if (tag == GUMBO_TAG_H1 && reading_.heading.empty()) {
      reading_.heading = text::Utf8ToText(FlatText(node));
    } else if (tag == GUMBO_TAG_META && reading_.ogTitle.empty()) {
      const char* property = Attribute(node, "property");
      const char* content = Attribute(node, "content");
      if (property && content && std::string_view(property) == "og:title") {
        Line line;
        line.Append(content, false);
        reading_.ogTitle = text::Utf8ToText(line.text);
      }
    }
  }

  PageReading& reading_;
  const char* source_;
  std::vector<BlockLines> blocks_;
  std::unordered_set<const GumboNode*> discussion_;
};

bool ContainsNoCase(std::string_view text, std::string_view lowerWord) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return std::search(text.begin(), text.end(), lowerWord.begin(), lowerWord.end(),
                     [&](char a, char b) { return lower(a) == b; }) != text.end();
}

bool ContainsAny(std::string_view text, std::initializer_list<std::u8string_view> words) {
  return std::any_of(words.begin(), words.end(), [&](std::u8string_view w) { return ContainsNoCase(text, Utf8(w)); });
}

// A short line that steps between chapters or pages, asks the reader to remember the site's address, or
// carries that address as a watermark.
bool IsNavigationLine(const Line& line, int units) {
  // Such lines are short; prose is not searched for the words below.
  if (units > 40 || line.chars > 80) return false;
  if (ContainsAny(line.text, {u8"上一页",   u8"下一页",   u8"上一章",   u8"下一章",           u8"上一節",
                              u8"下一節",   u8"上一节",   u8"下一节",   u8"上一話",           u8"下一話",
                              u8"上一话",   u8"下一话",   u8"返回目录", u8"返回目錄",         u8"返回书页",
                              u8"返回書頁", u8"加入书签", u8"加入書簽", u8"previous chapter", u8"next chapter"})) {
    return true;
  }
  if (ContainsAny(line.text, {u8"记住", u8"記住", u8"收藏本站"}) &&
      ContainsAny(line.text, {u8"域名", u8"网址", u8"網址", u8"地址", u8"本站", u8"网站", u8"網站"})) {
    return true;
  }
  // A short line that carries a web address is the site's watermark ("本文来自 某某文库(http://www...)") or its
  // permanent address; on the saved pages every such line is one of these.
  return ContainsAny(line.text, {u8"http://", u8"https://", u8"www."});
}

// True when the line names a chapter: 第 and, a few characters on, 章/节/回/话/卷/集 and their traditional
// forms; or "Chapter" and a number.
bool HasChapterMarker(std::string_view text) {
  static constexpr std::u32string_view kMarkers = U"章节節回话話卷集";
  for (std::size_t pos = 0; pos < text.size();) {
    if (NextCodePoint(text, pos) != U'第') continue;
    std::size_t at = pos;
    // A count in Chinese or Arabic numerals stands between: 第二十九章, 第1024章.
    for (int i = 0; i < 8 && at < text.size(); ++i) {
      if (kMarkers.find(NextCodePoint(text, at)) != std::u32string_view::npos) return true;
    }
  }
  static constexpr std::string_view kChapter = "chapter ";
  for (std::size_t pos = 0; pos + kChapter.size() < text.size(); ++pos) {
    const std::string_view word = text.substr(pos, kChapter.size());
    if (ContainsNoCase(word, kChapter) && std::isdigit(static_cast<unsigned char>(text[pos + kChapter.size()]))) {
      return true;
    }
  }
  return false;
}

// A short line that a site puts over the body: the book's link and the chapter's name ("书名 第二十九章 大老板"),
// or a breadcrumb of links. It holds link text and no sentence punctuation, and names a chapter or opens the
// block; the chapter text gets its title from its row. On the saved pages the only line this takes is such a
// heading: every other line holding link text (footers, notices, credits) has sentence punctuation.
bool IsHeadingLine(const Line& line, int units, bool atHead) {
  if (units > 40 || line.chars > 80 || line.linkChars == 0 || line.punctuation > 0) return false;
  return atHead || HasChapterMarker(line.text);
}

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The span of a line without the white space around it, and without the tags at its end that the parser left
// out of the text (a stray end tag between two pieces of text joins them into one text node).
std::pair<std::size_t, std::size_t> TrimSpan(std::string_view page, std::size_t start, std::size_t end) {
  while (start < end && IsAsciiSpace(page[start])) ++start;
  while (end > start) {
    if (IsAsciiSpace(page[end - 1])) {
      --end;
    } else if (page[end - 1] == '>') {
      const std::size_t lt = page.rfind('<', end - 1);
      if (lt == std::string_view::npos || lt < start || page.find('>', lt) != end - 1) break;
      end = lt;
    } else {
      break;
    }
  }
  return {start, end};
}

// How deep the page may nest its elements, from its bytes alone: start tags less end tags, leaving out the
// elements a parser never keeps open (void elements, and those the next of their kind closes). An estimate that
// errs high: a start tag inside a script counts too.
int NestingEstimate(std::string_view page) {
  static constexpr std::string_view kNeverOpen[] = {"br",   "img", "hr",    "meta",   "link",  "input", "area",
                                                    "base", "col", "embed", "source", "track", "wbr",   "p",
                                                    "li",   "td",  "th",    "tr",     "dt",    "dd",    "option"};
  int depth = 0, deepest = 0;
  for (std::size_t pos = page.find('<'); pos != std::string_view::npos; pos = page.find('<', pos + 1)) {
    const bool end = pos + 1 < page.size() && page[pos + 1] == '/';
    std::size_t at = pos + 1 + end;
    std::string name;
    while (at < page.size() && name.size() < 8 && std::isalnum(static_cast<unsigned char>(page[at]))) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(page[at++])));
    }
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) continue;
    if (std::find(std::begin(kNeverOpen), std::end(kNeverOpen), name) != std::end(kNeverOpen)) continue;
    depth = end ? std::max(0, depth - 1) : depth + 1;
    deepest = std::max(deepest, depth);
  }
  return deepest;
}

}  // namespace

PageReading ReadPage(std::string_view gbkPage) {
  PageReading reading;
  // The parser checks the open elements at every tag, so its work grows with the square of the nesting: a page
  // nested thousands deep (no real page is) would hold a worker for minutes. It gets no second reading.
  if (NestingEstimate(gbkPage) > kMaxParseNesting) return reading;
  reading.utf8 = text::AnsiToUtf8(gbkPage);
  const std::string& utf8 = reading.utf8;
  GumboOptions options = kGumboDefaultOptions;
  options.max_errors = 0;  // the parse errors are never read
  const GumboTree tree(gumbo_parse_with_options(&options, utf8.data(), utf8.size()));
  if (!tree) return reading;

  Reader reader(reading, utf8.data());
  reader.Read(tree->document);
  std::vector<BlockLines>& blocks = reader.Blocks();

  long long han = 0, words = 0;
  for (const BlockLines& block : blocks) {
    for (const Line& line : block.lines) {
      han += line.han;
      words += line.words;
    }
  }
  reading.chinese = han > 0 && han >= words;

  for (BlockLines& block : blocks) {
    TextBlock result;
    int allUnits = 0;
    std::string body;
    bool followable = true;
    for (const Line& line : block.lines) {
      const int units = reading.chinese ? line.han : line.words;
      const int linkUnits = reading.chinese ? line.linkHan : line.linkWords;
      allUnits += units;
      result.linkUnits += linkUnits;
      // A line that is mostly link text is a menu or a row of links, never body.
      const bool mostlyLinks = units > 0 ? 2 * linkUnits >= units : 2 * line.linkChars >= line.chars;
      if (mostlyLinks || IsNavigationLine(line, units) || IsHeadingLine(line, units, body.empty())) continue;
      result.units += units;
      result.punctuation += line.punctuation;
      result.paragraphs += units > 0;
      if (!body.empty()) body += "\r\n";
      body += line.text;
      // Lines stand in the page in the order they are read, unless the parser moved text (out of a table).
      followable = followable && !line.preformatted && line.sourceStart != std::string::npos &&
                   line.sourceStart < line.sourceEnd && line.sourceEnd <= utf8.size() &&
                   (result.lineSpans.empty() || result.lineSpans.back().second <= line.sourceStart);
      if (followable) result.lineSpans.push_back(TrimSpan(utf8, line.sourceStart, line.sourceEnd));
    }
    if (!followable) result.lineSpans.clear();
    result.discussion = block.discussion;
    if (result.units == 0) continue;
    const double linkShare = allUnits > 0 ? static_cast<double>(result.linkUnits) / allUnits : 0.0;
    result.score = (result.units + result.punctuation + result.paragraphs) * std::max(0.0, 1.0 - linkShare);
    result.text = text::Utf8ToText(body);
    reading.blocks.push_back(std::move(result));
  }
  return reading;
}

const TextBlock* BestBlock(const PageReading& reading) {
  const TextBlock* best = nullptr;
  for (const TextBlock& block : reading.blocks) {
    // Discussion loses to any other text, however long it is.
    const bool better = !best || (best->discussion && !block.discussion) ||
                        (best->discussion == block.discussion && block.score > best->score);
    if (better) best = &block;
  }
  return best;
}

BlockSource SourceOf(const PageReading& reading, const TextBlock& block) {
  BlockSource source;
  const std::string_view page = reading.utf8;
  for (std::size_t i = 0; i < block.lineSpans.size(); ++i) {
    const auto [start, end] = block.lineSpans[i];
    if (i > 0)
      source.gaps.push_back(
          text::Utf8ToText(page.substr(block.lineSpans[i - 1].second, start - block.lineSpans[i - 1].second)));
    source.lines.push_back(text::Utf8ToText(page.substr(start, end - start)));
  }
  return source;
}

}  // namespace lekto::html
