#include "html/comment_lists.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lekto::html {
namespace {

// Deeper nesting than this is not searched: no real page needs it, and a crafted one must not exhaust memory.
constexpr int kMaxDepth = 400;

std::string_view Utf8(std::u8string_view text) {
  return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// The short texts of a subtree (each text node of at most kShortText bytes, on a line of its own), buttons and
// hidden boxes included (a comment's "Reply" is often a button), scripts and styles left out: the labels,
// names, dates and controls around a text, never its sentences. At most `limit` bytes.
constexpr std::size_t kShortText = 32;
void ShortTexts(const GumboNode* node, std::string& out, std::size_t limit, int depth) {
  if (depth > kMaxDepth || out.size() >= limit) return;
  if (node->type == GUMBO_NODE_TEXT) {
    std::string_view text = node->v.text.text;
    const std::size_t first = text.find_first_not_of(" \t\r\n\f");
    if (first == std::string_view::npos) return;
    text = text.substr(first, text.find_last_not_of(" \t\r\n\f") - first + 1);
    if (text.size() <= kShortText) {
      for (const char c : text) out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      out += '\n';
    }
    return;
  }
  if (node->type != GUMBO_NODE_ELEMENT) return;
  const GumboTag tag = node->v.element.tag;
  if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE) return;
  if (tag == GUMBO_TAG_TIME) out += "00:00\n";  // a time element is a date, whatever it shows
  const GumboVector& children = node->v.element.children;
  for (unsigned i = 0; i < children.length; ++i)
    ShortTexts(static_cast<const GumboNode*>(children.data[i]), out, limit, depth + 1);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A date or a time as comments carry them: "2016-02-08", "08/02/2016", "2024.1.5", "05:28", "3 days ago",
// "2小时前", "3天前".
bool HasDate(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos]) || (pos > 0 && IsDigit(text[pos - 1]))) continue;
    std::size_t end = pos;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end + 1 < text.size() && (text[end] == ':' || text[end] == '-' || text[end] == '/' || text[end] == '.') &&
        IsDigit(text[end + 1]) && end - pos <= 4) {
      const char mark = text[end];
      std::size_t next = end + 1;
      while (next < text.size() && IsDigit(text[next])) ++next;
      // "05:28" is a time; a date needs its third part: "08/02/2016", not "1.5" or "3-4".
      if (mark == ':' && next - end - 1 == 2) return true;
      if (next < text.size() && text[next] == mark && next + 1 < text.size() && IsDigit(text[next + 1])) return true;
    }
    std::string_view rest = text.substr(end, 24);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    for (std::u8string_view unit : {u8"second", u8"minute", u8"hour", u8"day", u8"week", u8"month", u8"year", u8"秒前",
                                    u8"分钟前", u8"小时前", u8"天前", u8"周前", u8"个月前", u8"年前"}) {
      if (rest.starts_with(Utf8(unit))) return true;
    }
  }
  return false;
}

// A comment's controls, among short texts (their ASCII letters in lower case): answering, voting, reporting.
bool HasReplyControl(std::string_view shortTexts) {
  for (std::u8string_view word :
       {u8"reply", u8"回复", u8"回覆", u8"回復", u8"upvote", u8"downvote", u8"点赞", u8"举报", u8"report"}) {
    if (shortTexts.find(Utf8(word)) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

std::unordered_set<const GumboNode*> CommentItems(const GumboNode* root) {
  std::unordered_set<const GumboNode*> items;
  std::vector<std::pair<const GumboNode*, int>> stack{{root, 0}};
  while (!stack.empty()) {
    const auto [node, depth] = stack.back();
    stack.pop_back();
    const GumboVector* children = node->type == GUMBO_NODE_DOCUMENT  ? &node->v.document.children
                                  : node->type == GUMBO_NODE_ELEMENT ? &node->v.element.children
                                                                     : nullptr;
    if (children == nullptr || depth > kMaxDepth) continue;
    // Siblings by their tag and class; an element without children (a line break, an image) holds no comment.
    std::vector<std::pair<std::pair<GumboTag, std::string_view>, std::vector<const GumboNode*>>> kinds;
    for (unsigned i = 0; i < children->length; ++i) {
      const auto* child = static_cast<const GumboNode*>(children->data[i]);
      if (child->type != GUMBO_NODE_ELEMENT || child->v.element.children.length == 0) continue;
      stack.emplace_back(child, depth + 1);
      const GumboAttribute* cls = gumbo_get_attribute(&child->v.element.attributes, "class");
      const std::pair<GumboTag, std::string_view> key{child->v.element.tag, cls ? cls->value : ""};
      auto kind = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == key; });
      if (kind == kinds.end()) {
        kinds.push_back({key, {child}});
      } else {
        kind->second.push_back(child);
      }
    }
    for (const auto& [key, siblings] : kinds) {
      if (siblings.size() < 2) continue;
      int shaped = 0;
      for (const GumboNode* sibling : siblings) {
        std::string text;
        ShortTexts(sibling, text, 1 << 14, 0);
        shaped += HasDate(text) && HasReplyControl(text);
        if (shaped >= 2) break;
      }
      if (shaped >= 2) items.insert(siblings.begin(), siblings.end());
    }
  }
  return items;
}

}  // namespace lekto::html
