#pragma once
// Line ends as the program writes them: CR LF everywhere, whatever a page used (LF alone, a lone CR). Works on
// GBK and UTF-8 alike: neither has a CR or LF byte inside a character.
#include <string>
#include <string_view>

namespace lekto::text {

// Appends `text` to `out` with every LF, CR LF and lone CR as CR LF.
void AppendWithCrLf(std::string& out, std::string_view text);

// `text` with every line end as CR LF; handed back unchanged (no copy) when it has none other.
std::string WithCrLf(std::string text);

}  // namespace lekto::text
