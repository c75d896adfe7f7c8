#pragma once
// The second half of turning a chapter page into text: the fixed cleanup of line-break and entity markup, and
// the user's own regular-expression filters.
#include <string>
#include <string_view>

namespace lekto {

// The replacement chain for line breaks and entities, TrimOuterBreaks, then RemoveTags.
std::string CleanBody(std::string_view body);

// Removes one leading and one trailing CR LF, then every run of empty or blank lines between two lines.
std::string TrimOuterBreaks(std::string_view text);

// Deletes every run of empty or blank lines between two lines (what "\n\s*\r" matches).
std::string CollapseBlankLines(std::string_view text);

// Deletes every simple tag: "<", then only word characters, white space and . = - , : ; % " ' / ( ), then ">".
std::string RemoveTags(std::string_view text);

// True when RemoveTags leaves markup in `text`: a "<" followed by a letter, "!" or "/" that opens no simple tag
// (a comment, a tag with Chinese or "?" in its attributes).
bool LeavesMarkup(std::string_view text);

// Deletes every match of each rule line (lines joined by CR LF), in order, each rule working on the result of
// the one before. A rule the engine rejects, or on which it gives up, is skipped: the body is never lost.
std::string ApplyUserFilters(std::string_view body, std::string_view rules);

}  // namespace lekto
