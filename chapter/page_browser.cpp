#include "chapter/page_browser.h"

#include "chapter/body_location.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <utility>

namespace lekto {
namespace {

// A login notice is a few lines; a chapter that merely mentions logging in is longer than this.
constexpr int kMaxNoticeUnits = 200;
constexpr std::size_t kMaxNoticeBytes = 8 * kMaxNoticeUnits;
// A check page names itself in its head; of a page answered 200 only this much is read.
constexpr std::size_t kHeadBytes = 4096;
// How far past "<title" a check page's title is looked for.
constexpr std::size_t kTitleBytes = 64;

// Fewer units than this after the written rules and their second opinion: the page gave no chapter text.
constexpr int kMinTextUnits = 20;

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Byte by byte, ASCII letters in any case, without a copy: a page's raw bytes may be UTF-8, which GBK-stepping
// searches misread. `phrase` is lower case. The offset of the first match, or npos.
std::size_t FindBytes(std::string_view text, std::string_view phrase) {
  const auto at = std::search(text.begin(), text.end(), phrase.begin(), phrase.end(),
                              [](char a, char b) { return LowerAscii(a) == b; });
  return at == text.end() ? std::string_view::npos : static_cast<std::size_t>(at - text.begin());
}

bool ContainsAnyBytes(std::string_view text, std::initializer_list<std::string_view> phrases) {
  for (const std::string_view phrase : phrases) {
    if (FindBytes(text, phrase) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

int TextUnits(std::string_view text) {
  int words = 0;
  bool inWord = false;
  for (const char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (letter && !inWord) ++words;
    inWord = letter;
  }
  return CountHan(text) + words;
}

bool TextLooksMissing(std::string_view text) {
  return TextUnits(text) < kMinTextUnits;
}

bool CarriesScripts(std::string_view page) {
  return ContainsAnyBytes(page, {"<script"});
}

bool LooksLikeCheckPage(const http::Response& response) {
  if (response.error != http::TransferError::kNone || response.status == 0) return false;
  const bool checkStatus = response.status == 403 || response.status == 429 || response.status == 503;
  // Every plain page passes here: of an answered page only the head, where such a page names itself, is read,
  // and of the English shapes only its title.
  const std::string_view body =
      checkStatus ? std::string_view(response.body) : std::string_view(response.body).substr(0, kHeadBytes);
  static const std::u8string_view kChineseCheck = u8"正在检查您的浏览器";
  static const std::string kChineseCheckGbk = text::Gbk(kChineseCheck);
  if (body.find(std::string_view(reinterpret_cast<const char*>(kChineseCheck.data()), kChineseCheck.size())) !=
          std::string_view::npos ||
      body.find(kChineseCheckGbk) != std::string_view::npos) {
    return true;
  }
  const std::size_t title = FindBytes(body, "<title");
  if (title != std::string_view::npos &&
      ContainsAnyBytes(body.substr(title, kTitleBytes), {"just a moment", "checking your browser"})) {
    return true;
  }
  if (!checkStatus) return false;
  // The check services' markup, and any script at all in an answer of these statuses.
  return ContainsAnyBytes(body, {"checking your browser", "challenge-platform", "cf-browser-verification", "cf_chl_opt",
                                 "ddos protection by", "<script"});
}

bool LooksLikeLoginNotice(std::string_view text) {
  // Every chapter passes here: a text longer than any notice of kMaxNoticeUnits is not counted.
  if (text.size() > kMaxNoticeBytes) return false;
  if (TextUnits(text) > kMaxNoticeUnits) return false;
  static const std::string kPhrases[] = {text::Gbk(u8"请登录"),     text::Gbk(u8"请先登录"),  text::Gbk(u8"登录后"),
                                         text::Gbk(u8"登陆后"),     text::Gbk(u8"需要登录"),  text::Gbk(u8"登录阅读"),
                                         text::Gbk(u8"订阅后阅读"), text::Gbk(u8"购买后阅读")};
  for (const std::string& phrase : kPhrases) {
    if (text::Contains(text, phrase)) return true;
  }
  return ContainsAnyBytes(text, {"log in to", "login to", "sign in to", "please log in", "please sign in"});
}

Fetcher FetchThroughBrowser(Fetcher plain, BrowserChoice choice) {
  if (!choice.read || choice.use == BrowserUse::kNever) return plain;
  if (choice.use == BrowserUse::kAlways) return std::move(choice.read);
  return [plain = std::move(plain), read = std::move(choice.read)](const std::string& url) {
    http::Response response = plain(url);
    if (!LooksLikeCheckPage(response)) return response;
    return read(url);
  };
}

}  // namespace lekto
