#pragma once
// The reader's own cookies and the ones a browser reading earned, in the Netscape cookies.txt form browsers'
// export add-ons and other downloaders write: one cookie a line, seven fields separated by tabs (domain,
// subdomains too, path, secure only, expiry in seconds since 1970 or 0 for a session cookie, name, value). They
// live in the process-wide store the web request sends from, which sends each one only where it belongs (domain,
// path, secure, expiry), and never in a book or its record.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lekto::http {

struct StoredCookie {
  std::string domain;  // "example.com", or ".example.com" for the domain and its subdomains
  bool includeSubdomains = false;
  std::string path = "/";
  bool secure = false;       // sent over HTTPS only
  std::int64_t expires = 0;  // seconds since 1970; 0: a session cookie
  std::string name;
  std::string value;
  bool httpOnly = false;  // written "#HttpOnly_" before the domain
};

// The cookies of a cookies.txt text. Comments, blank lines and lines that are not cookies are skipped;
// `skipped`, when given, counts the last. Both LF and CR LF line ends are read.
std::vector<StoredCookie> ParseCookieFile(std::string_view text, int* skipped = nullptr);
// One line of a cookies.txt file, without its line end.
std::string CookieFileLine(const StoredCookie& cookie);

// Reads the cookies.txt file at `path` into the store. False, with the reason in `error` (UTF-8, for the reader),
// when it cannot be read or holds no cookie.
bool LoadCookieFile(const std::filesystem::path& path, std::string* error = nullptr);

// The process-wide store every plain fetch (http::Get, WebRequest without its own cookie text) sends from and
// keeps the cookies its answers set in.
void AddToCookieStore(const std::vector<StoredCookie>& cookies);
std::vector<StoredCookie> CookiesInStore();
// Forgets every cookie of the store.
void ClearCookieStore();

}  // namespace lekto::http
