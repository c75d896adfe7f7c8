#include "toc/book_metadata.h"

#include "chapter/link_resolution.h"
#include "text/character_references.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <array>
#include <vector>

namespace lekto {
namespace {

// A name longer than this is a sentence that happens to follow the label, not a name.
constexpr std::size_t kMaxAuthorCharacters = 40;
// Some sites put the whole first chapter into og:description; a blurb is shorter.
constexpr std::size_t kMaxDescriptionCharacters = 2000;

struct Attribute {
  std::string name;  // lower case
  std::string value;
};

struct Tag {
  std::string name;  // lower case; an end tag's name starts with "/"
  std::vector<Attribute> attributes;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The tag that starts at page[at] ('<'); `at` moves past its '>'. A '>' inside a quoted value does not end the
// tag (og:description values carry "<br/>" on some sites). The bytes looked at are ASCII, which never occurs
// inside a GBK character.
Tag ReadTag(std::string_view page, std::size_t& at) {
  Tag tag;
  const std::size_t n = page.size();
  ++at;
  if (at < n && page[at] == '/') {
    tag.name = "/";
    ++at;
  }
  while (at < n && !IsSpace(page[at]) && page[at] != '>' && page[at] != '/') {
    const char c = page[at++];
    tag.name += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  while (at < n) {
    while (at < n && (IsSpace(page[at]) || page[at] == '/')) ++at;
    if (at >= n) break;
    if (page[at] == '>') {
      ++at;
      break;
    }
    const std::size_t nameStart = at;
    while (at < n && !IsSpace(page[at]) && page[at] != '=' && page[at] != '>' && page[at] != '/') ++at;
    Attribute attribute{text::ToLowerAscii(page.substr(nameStart, at - nameStart)), {}};
    while (at < n && IsSpace(page[at])) ++at;
    if (at < n && page[at] == '=') {
      ++at;
      while (at < n && IsSpace(page[at])) ++at;
      if (at < n && (page[at] == '"' || page[at] == '\'')) {
        const std::size_t close = page.find(page[at], at + 1);
        const std::size_t end = close == std::string_view::npos ? n : close;
        attribute.value = page.substr(at + 1, end - at - 1);
        at = std::min(n, end + 1);
      } else {
        const std::size_t valueStart = at;
        while (at < n && !IsSpace(page[at]) && page[at] != '>') ++at;
        attribute.value = page.substr(valueStart, at - valueStart);
      }
    } else if (at == nameStart) {
      ++at;  // a stray "=" with no name before it
      continue;
    }
    tag.attributes.push_back(std::move(attribute));
  }
  return tag;
}

const std::string* AttributeValue(const Tag& tag, std::string_view name) {
  for (const Attribute& attribute : tag.attributes) {
    if (attribute.name == name) return &attribute.value;
  }
  return nullptr;
}

// Elements whose content no reader sees as text of the page.
bool IsRawTextElement(std::string_view name) {
  static constexpr std::array<std::string_view, 5> kNames = {"script", "style", "title", "textarea", "template"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Elements that sit inside a line of text: the text on both sides of them reads as one line.
bool IsInline(std::string_view name) {
  if (name.starts_with('/')) name.remove_prefix(1);
  static constexpr std::array<std::string_view, 20> kNames = {"a",      "abbr", "b",   "big",   "cite", "code",  "em",
                                                              "font",   "i",    "img", "label", "mark", "small", "span",
                                                              "strong", "sub",  "sup", "time",  "u",    "wbr"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Calls onTag for every tag and onText for every run of text between tags, in page order, until one of them
// returns false. Comments, declarations and the content of raw-text elements are skipped; a "<" that starts no
// tag is text.
template <typename OnTag, typename OnText>
void WalkPage(std::string_view page, OnTag&& onTag, OnText&& onText) {
  const std::size_t n = page.size();
  std::size_t at = 0;
  while (at < n) {
    const std::size_t open = page.find('<', at);
    if (open != at && !onText(page.substr(at, open == std::string_view::npos ? n - at : open - at))) return;
    if (open == std::string_view::npos) return;
    at = open;
    if (page.substr(at, 4) == "<!--") {
      const std::size_t end = page.find("-->", at + 4);
      at = end == std::string_view::npos ? n : end + 3;
      continue;
    }
    const char next = at + 1 < n ? page[at + 1] : '\0';
    if (next == '!' || next == '?') {
      const std::size_t end = page.find('>', at);
      at = end == std::string_view::npos ? n : end + 1;
      continue;
    }
    if (!IsLetter(next) && next != '/') {
      if (!onText(page.substr(at, 1))) return;
      ++at;
      continue;
    }
    const Tag tag = ReadTag(page, at);
    if (!onTag(tag)) return;
    if (IsRawTextElement(tag.name)) {
      const int end = text::Find(page, "</" + tag.name, static_cast<int>(at) + 1, true);
      at = end < 0 ? n : static_cast<std::size_t>(end - 1);
    }
  }
}

// The blanks around and between the parts of a line: white space and the ideographic space (UTF-8).
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

std::size_t SkipBlanks(std::string_view utf8, std::size_t at) {
  for (;;) {
    if (at < utf8.size() && IsSpace(utf8[at])) {
      ++at;
    } else if (utf8.substr(at).starts_with(kIdeographicSpace)) {
      at += kIdeographicSpace.size();
    } else {
      return at;
    }
  }
}

std::string_view TrimBlanks(std::string_view utf8) {
  utf8.remove_prefix(SkipBlanks(utf8, 0));
  for (;;) {
    if (!utf8.empty() && IsSpace(utf8.back())) {
      utf8.remove_suffix(1);
    } else if (utf8.ends_with(kIdeographicSpace)) {
      utf8.remove_suffix(kIdeographicSpace.size());
    } else {
      return utf8;
    }
  }
}

std::size_t CountCharacters(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The UTF-8 text of a run of the page, its references decoded.
std::string VisibleUtf8(std::string_view gbk) {
  return text::AnsiToUtf8(text::DecodeCharacterReferences(std::string(gbk)));
}

// The UTF-8 text of a meta tag's value. Site software often escapes a blurb two or three times over
// ("&amp;amp;nbsp;"), which no reader means to see, so the references are decoded until none is left.
std::string MetaUtf8(std::string_view gbk) {
  std::string value(gbk);
  for (int pass = 0; pass < 4; ++pass) {
    std::string decoded = text::DecodeCharacterReferences(value);
    if (decoded == value) break;
    value = std::move(decoded);
  }
  return text::AnsiToUtf8(value);
}

// Where the name starts after the first author label of the line ("作者：", "作者:", "作 者："), npos when the line
// has none.
std::size_t AfterAuthorLabel(std::string_view utf8) {
  static constexpr std::string_view kZuo = "\xE4\xBD\x9C";    // 作
  static constexpr std::string_view kZhe = "\xE8\x80\x85";    // 者
  static constexpr std::string_view kColon = "\xEF\xBC\x9A";  // ：
  for (std::size_t at = utf8.find(kZuo); at != std::string_view::npos; at = utf8.find(kZuo, at + 1)) {
    std::size_t next = SkipBlanks(utf8, at + kZuo.size());
    if (!utf8.substr(next).starts_with(kZhe)) continue;
    next = SkipBlanks(utf8, next + kZhe.size());
    if (utf8.substr(next).starts_with(kColon)) return next + kColon.size();
    if (utf8.substr(next).starts_with(":")) return next + 1;
  }
  return std::string_view::npos;
}

// The name at the start of what follows an author label: up to the next field of the line ("作者：某某  类别：玄幻",
// "作者：某某 | 更新时间：...", "作者：某某（著）"). Empty when it is no name.
std::string NameFrom(std::string_view rest) {
  rest = TrimBlanks(rest);
  static constexpr std::array<std::string_view, 17> kEnds = {"\t",
                                                             "\r",
                                                             "\n",
                                                             "  ",
                                                             kIdeographicSpace,
                                                             "|",
                                                             "\xEF\xBD\x9C" /* ｜ */,
                                                             "/",
                                                             "(",
                                                             "\xEF\xBC\x88" /* （ */,
                                                             "[",
                                                             "\xE3\x80\x90" /* 【 */,
                                                             ",",
                                                             "\xEF\xBC\x8C" /* ， */,
                                                             ";",
                                                             "\xEF\xBC\x9B" /* ； */,
                                                             "\xE3\x80\x82" /* 。 */};
  std::size_t end = rest.size();
  for (std::string_view mark : kEnds) end = std::min(end, rest.find(mark));
  rest = rest.substr(0, end);
  // A single space before a second label ends the name; a space inside a name ("J. R. Smith") does not.
  for (std::size_t space = rest.find(' '); space != std::string_view::npos; space = rest.find(' ', space + 1)) {
    const std::string_view after = rest.substr(space);
    if (after.find(':') != std::string_view::npos || after.find("\xEF\xBC\x9A") != std::string_view::npos) {
      rest = rest.substr(0, space);
      break;
    }
  }
  rest = TrimBlanks(rest);
  if (rest.empty() || CountCharacters(rest) > kMaxAuthorCharacters) return {};
  if (rest.find("http") != std::string_view::npos || rest.find(':') != std::string_view::npos ||
      rest.find("\xEF\xBC\x9A") != std::string_view::npos) {
    return {};
  }
  return std::string(rest);
}

// A meta tag's text: references decoded, blanks trimmed and runs of white space within a line made one space.
std::string MetaLine(std::string_view gbk) {
  const std::string utf8 = MetaUtf8(gbk);
  std::string out;
  for (char c : TrimBlanks(utf8)) {
    if (IsSpace(c)) {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// og:description as lines of plain text: "<br>" tags in the value and runs of three or more blanks (where a
// site flattened its paragraphs) break lines, other tags go, every line is trimmed of its indent and blank lines
// are dropped; cut at a character boundary past the length limit.
std::string DescriptionText(std::string_view gbk) {
  const std::string utf8 = MetaUtf8(gbk);
  std::vector<std::string> lines(1);
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const char c = utf8[at];
    if (IsSpace(c) || utf8.substr(at).starts_with(kIdeographicSpace)) {
      const std::size_t end = SkipBlanks(utf8, at);
      std::size_t blanks = 0;
      for (std::size_t i = at; i < end; i += IsSpace(utf8[i]) ? 1 : kIdeographicSpace.size()) ++blanks;
      if (blanks >= 3 || utf8.substr(at, end - at).find_first_of("\r\n") != std::string::npos) {
        lines.emplace_back();
      } else {
        lines.back() += ' ';
      }
      at = end - 1;
      continue;
    }
    if (c == '<' && at + 1 < utf8.size() && (IsLetter(utf8[at + 1]) || utf8[at + 1] == '/')) {
      const std::size_t close = utf8.find('>', at);
      if (close != std::string::npos) {
        if (text::ToLowerAscii(utf8.substr(at + 1, 2)) == "br") lines.emplace_back();
        at = close;
        continue;
      }
    }
    lines.back() += c;
  }
  std::string out;
  std::size_t characters = 0;
  for (const std::string& line : lines) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty()) continue;
    if (!out.empty()) out += "\r\n";
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
      if ((static_cast<unsigned char>(trimmed[i]) & 0xC0) != 0x80 && ++characters > kMaxDescriptionCharacters) {
        return text::Utf8ToText(out);
      }
      out += trimmed[i];
    }
  }
  return text::Utf8ToText(out);
}

}  // namespace

std::string AuthorFromText(std::string_view page) {
  static const std::string kZuoGbk = text::Gbk(u8"作");
  int linkDepth = 0;
  bool collecting = false;
  std::string line;  // UTF-8: what follows the label so far
  std::string name;
  const auto endLine = [&] {
    if (collecting) name = NameFrom(line);
    collecting = false;
    line.clear();
    return name.empty();
  };
  WalkPage(
      page,
      [&](const Tag& tag) {
        if (tag.name == "a") ++linkDepth;
        if (tag.name == "/a") linkDepth = std::max(0, linkDepth - 1);
        return IsInline(tag.name) || endLine();
      },
      [&](std::string_view run) {
        if (collecting) {
          line += VisibleUtf8(run);
        } else if (linkDepth == 0 && run.find(kZuoGbk) != std::string_view::npos) {
          const std::string utf8 = VisibleUtf8(run);
          if (const std::size_t after = AfterAuthorLabel(utf8); after != std::string::npos) {
            collecting = true;
            line = utf8.substr(after);
          }
        }
        return true;
      });
  endLine();
  return text::Utf8ToText(name);
}

BookMetadata ReadBookMetadata(std::string_view page, std::string_view address, std::string_view siteRoot) {
  std::string author, description, image;
  WalkPage(
      page,
      [&](const Tag& tag) {
        if (tag.name != "meta") return true;
        const std::string* key = AttributeValue(tag, "property");
        if (key == nullptr) key = AttributeValue(tag, "name");
        const std::string* content = AttributeValue(tag, "content");
        if (key == nullptr || content == nullptr) return true;
        const std::string property = text::ToLowerAscii(*key);
        // The first tag of each kind holds, as a browser's reader view takes it.
        if (property == "og:novel:author" && author.empty()) author = MetaLine(*content);
        if (property == "og:description" && description.empty()) description = DescriptionText(*content);
        if (property == "og:image" && image.empty()) image = MetaLine(*content);
        return true;
      },
      [](std::string_view) { return true; });

  BookMetadata metadata;
  metadata.author = CountCharacters(author) <= kMaxAuthorCharacters ? text::Utf8ToText(author) : std::string();
  if (metadata.author.empty()) metadata.author = AuthorFromText(page);
  metadata.description = std::move(description);
  if (!image.empty() && !image.starts_with("data:")) {
    std::string link = text::Utf8ToText(image);
    ResolveLink(link, address, siteRoot, address);
    const std::string lower = text::ToLowerAscii(text::Left(link, 8));
    if (lower.starts_with("http://") || lower.starts_with("https://")) metadata.coverAddress = std::move(link);
  }
  return metadata;
}

}  // namespace lekto
