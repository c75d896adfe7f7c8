#include "http/cookie_file.h"

#include "http/curl_handles.h"

#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>

namespace lekto::http {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    pieces.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return pieces;
    start = end + 1;
  }
}

bool IsTrue(std::string_view field) {
  return field == "TRUE" || field == "true";
}

bool IsFlag(std::string_view field) {
  return IsTrue(field) || field == "FALSE" || field == "false";
}

// A byte the store would take for the end of a field or of the line.
bool HasControl(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// Runs `use` on a handle that reads and writes the shared store.
template <typename Use>
void WithStore(Use use) {
  const detail::LeasedHandle handle(true, true);
  if (!handle) return;
  curl_easy_setopt(handle.get(), CURLOPT_SHARE, detail::SharedCookieStore());
  curl_easy_setopt(handle.get(), CURLOPT_COOKIEFILE, "");
  use(handle.get());
}

}  // namespace

std::vector<StoredCookie> ParseCookieFile(std::string_view text, int* skipped) {
  std::vector<StoredCookie> cookies;
  int bad = 0;
  for (std::string_view line : SplitAt(text, '\n')) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    StoredCookie cookie;
    if (line.starts_with(kHttpOnlyPrefix)) {
      cookie.httpOnly = true;
      line.remove_prefix(kHttpOnlyPrefix.size());
    } else if (line.starts_with('#') || line.find_first_not_of(" \t") == std::string_view::npos) {
      continue;
    }
    const std::vector<std::string_view> fields = SplitAt(line, '\t');
    // Some writers leave the value out of a cookie that has none.
    if ((fields.size() != 7 && fields.size() != 6) || fields[0].empty() || fields[5].empty() || !IsFlag(fields[1]) ||
        !IsFlag(fields[3]) || !fields[2].starts_with('/')) {
      ++bad;
      continue;
    }
    std::int64_t expires = 0;
    const auto [end, error] = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), expires);
    if (error != std::errc() || end != fields[4].data() + fields[4].size() || expires < 0) {
      ++bad;
      continue;
    }
    cookie.domain = fields[0];
    cookie.includeSubdomains = IsTrue(fields[1]);
    cookie.path = fields[2];
    cookie.secure = IsTrue(fields[3]);
    cookie.expires = expires;
    cookie.name = fields[5];
    if (fields.size() == 7) cookie.value = fields[6];
    cookies.push_back(std::move(cookie));
  }
  if (skipped != nullptr) *skipped = bad;
  return cookies;
}

std::string CookieFileLine(const StoredCookie& cookie) {
  std::string line = cookie.httpOnly ? std::string(kHttpOnlyPrefix) : std::string();
  line += cookie.domain;
  line += cookie.includeSubdomains ? "\tTRUE\t" : "\tFALSE\t";
  line += cookie.path;
  line += cookie.secure ? "\tTRUE\t" : "\tFALSE\t";
  line += std::to_string(cookie.expires);
  line += '\t';
  line += cookie.name;
  line += '\t';
  line += cookie.value;
  return line;
}

bool LoadCookieFile(const std::filesystem::path& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot read the cookie file " + path.string();
    return false;
  }
  std::ostringstream content;
  content << in.rdbuf();
  const std::vector<StoredCookie> cookies = ParseCookieFile(content.str());
  if (cookies.empty()) {
    if (error != nullptr) *error = path.string() + " holds no cookie in the cookies.txt form";
    return false;
  }
  AddToCookieStore(cookies);
  return true;
}

void AddToCookieStore(const std::vector<StoredCookie>& cookies) {
  WithStore([&](CURL* curl) {
    for (const StoredCookie& cookie : cookies) {
      // A tab or line break inside a field would split the line the store reads into other cookies.
      if (HasControl(cookie.domain) || HasControl(cookie.path) || HasControl(cookie.name) || HasControl(cookie.value))
        continue;
      curl_easy_setopt(curl, CURLOPT_COOKIELIST, CookieFileLine(cookie).c_str());
    }
  });
}

std::vector<StoredCookie> CookiesInStore() {
  std::vector<StoredCookie> cookies;
  WithStore([&](CURL* curl) {
    curl_slist* list = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &list) != CURLE_OK) return;
    const detail::CurlList owned(list);
    std::string text;
    for (const curl_slist* item = list; item != nullptr; item = item->next) {
      text += item->data;
      text += '\n';
    }
    cookies = ParseCookieFile(text);
  });
  // The store keeps a cookie past its expiry until it next sends from the list; it never sends it again.
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::erase_if(cookies, [now](const StoredCookie& cookie) { return cookie.expires != 0 && cookie.expires <= now; });
  return cookies;
}

void ClearCookieStore() {
  WithStore([](CURL* curl) { curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL"); });
}

}  // namespace lekto::http
