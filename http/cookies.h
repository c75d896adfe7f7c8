#pragma once
// Cookie texts: "name=value" items separated by ";" on input and by "; " on output, without attributes.
// MergeCookies carries a caller's own cookie text from response to response when the shared store is off.
#include <string>
#include <string_view>
#include <vector>

namespace lekto::http {

// Merges the cookies a response set (`fresh`) into the caller's cookie text (`old`): every space (ASCII and
// full-width) is first removed from both, written back; names in `fresh` shadow the same names in `old`;
// "name=deleted" items drop out together with the older item of that name; repeated items collapse. The
// result, also left in `old`, lists the items of `fresh` first, then the surviving ones of `old`.
std::string MergeCookies(std::string& old, std::string& fresh);

// The text before the first "=", or the whole item without one, trimmed.
std::string CookieNameOf(std::string_view item);

// True when some item of `items` has the cookie name `name` (exact bytes, letter case significant).
bool HasCookieName(const std::vector<std::string>& items, std::string_view name);

// `text` split at `separator` with repeated items removed, joined again with `separator`.
std::string RemoveDuplicateItems(std::string_view text, std::string_view separator);

// The cookies a response header block sets: for each line holding "Set-Cookie", its name=value (the text
// between "Set-Cookie:" and the first ";", or the line without "Set-Cookie:" when it has no ";"), trimmed,
// joined by "; ". Attributes are dropped.
std::string GatherResponseCookies(std::string_view headerBlock);

// 1-based index of the first item equal to `value`, or -1.
int FindTextItem(const std::vector<std::string>& items, std::string_view value);

}  // namespace lekto::http
