#include "http/cookies.h"

#include "http/url.h"
#include "text/gbk_text.h"

namespace lekto::http {
namespace {

namespace text = lekto::text;

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
constexpr std::string_view kDeletedMarker = "=deleted";

std::string WithoutSpaces(std::string_view cookieText) {
  return text::ReplaceAll(text::ReplaceAll(cookieText, " ", ""), kFullWidthSpace, "");
}

// Drops the last `count` bytes: the separator after the final item.
void DropTail(std::string& s, std::size_t count) {
  s.resize(s.size() > count ? s.size() - count : 0);
}

}  // namespace

std::string MergeCookies(std::string& old, std::string& fresh) {
  old = WithoutSpaces(old);
  fresh = WithoutSpaces(fresh);
  std::vector<std::string> merged = text::Split(fresh, ";");
  // `merged` grows during the scan: of several old items with one name only the first is taken.
  for (const std::string& item : text::Split(old, ";")) {
    if (!HasCookieName(merged, CookieNameOf(item))) merged.push_back(item);
  }
  old.clear();
  for (const std::string& item : merged) {
    if (text::Right(item, static_cast<int>(kDeletedMarker.size())) == kDeletedMarker) continue;
    old += item;
    old += "; ";
  }
  DropTail(old, 2);
  old = RemoveDuplicateItems(old, "; ");
  return old;
}

std::string CookieNameOf(std::string_view item) {
  const int equals = text::Find(item, "=");
  return text::Trim(equals > 0 ? item.substr(0, static_cast<std::size_t>(equals) - 1) : item);
}

bool HasCookieName(const std::vector<std::string>& items, std::string_view name) {
  for (const std::string& item : items) {
    if (CookieNameOf(item) == name) return true;
  }
  return false;
}

std::string RemoveDuplicateItems(std::string_view textIn, std::string_view separator) {
  std::vector<std::string> seen;
  std::string out;
  for (std::string& piece : text::Split(textIn, separator)) {
    if (FindTextItem(seen, piece) != -1) continue;
    out += piece;
    out += separator;
    seen.push_back(std::move(piece));
  }
  DropTail(out, separator.size());
  return out;
}

std::string GatherResponseCookies(std::string_view headerBlock) {
  std::string cookies;
  for (const std::string& line : text::Split(headerBlock, "\r\n")) {
    if (!text::Contains(line, "Set-Cookie")) continue;
    cookies += text::Contains(line, ";") ? text::Trim(TextBetween(line, "Set-Cookie:", ";"))
                                         : text::Trim(text::ReplaceAll(line, "Set-Cookie:", "", true));
    cookies += "; ";
  }
  DropTail(cookies, 2);
  return cookies;
}

int FindTextItem(const std::vector<std::string>& items, std::string_view value) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == value) return static_cast<int>(i) + 1;
  }
  return -1;
}

}  // namespace lekto::http
