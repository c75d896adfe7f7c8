#pragma once
// The pattern dialect users and the program write: ECMAScript's RegExp grammar in its web-compatible form (no
// "u" flag), matched by PCRE2. Many constructs read the same in both, but not all: ECMAScript's \s is a wider
// white-space set, `.` and `^`/`$` know four line terminators, a stray "{" or an unknown escape is a literal,
// a hyphen next to \w inside a class is a literal, and "[]" / "[^]" are legal. The translation writes every
// construct out explicitly so that PCRE2 matches what a JavaScript RegExp with flags "gim" would.
#include <optional>
#include <string>
#include <string_view>

namespace lekto::regex {

// The PCRE2 pattern (pure ASCII, for a code compiled with PCRE2_UTF) that matches what `pattern` matches as an
// ECMAScript RegExp, or nothing when ECMAScript rejects the pattern. `multiLine` decides what "^" and "$" mean.
std::optional<std::string> TranslateEcmaPattern(std::u32string_view pattern, bool multiLine);

}  // namespace lekto::regex
