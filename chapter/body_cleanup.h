#pragma once
// The second half of turning a chapter page into text: the fixed cleanup of line-break and entity markup, and
// the user's own regular-expression filters.
#include <cstddef>
#include <string>
#include <string_view>

namespace lekto {

// CleanBodyKeepingMarkup with the page's markup gone: scripts, styles and comments with their content
// before the chain, and after it every tag the tag pattern leaves (RemoveMarkup). The text keeps the page's
// characters, character references included (the caller decodes them), and never its markup.
std::string CleanBody(std::string_view body);

// The replacement chain for line breaks and entities, TrimOuterBreaks, then RemoveTags: what is left of a body
// when only the simple tags go. An escaped "<" of the prose ("&lt;") stays for the reference decoding; only the
// escaped line-break tag "&lt;/br&gt;" is dropped whole.
std::string CleanBodyKeepingMarkup(std::string_view body);

// Deletes script and style elements with their content, and comments: nothing of them is visible text.
std::string RemoveHiddenMarkup(std::string_view text);

// Deletes what a browser reads as markup: start and end tags with their attributes (quoted values may hold
// ">"), comments, "<!...>" and "<?...>". A "<" that opens no tag ("1 < 2", "<诛仙>", "<3") stays, and so does
// markup that never closes.
std::string RemoveMarkup(std::string_view text);

// Deletes every line of at most kWatermarkChars characters (blanks and ideographic spaces around it aside)
// that carries a web address ("www.", "http://", "https://"), with its line end: a site's watermark inside
// the body. A longer line is prose and stays; so does every other byte of the text.
inline constexpr std::size_t kWatermarkChars = 80;
std::string DeleteWatermarkLines(std::string text);

// The line without the blanks and ideographic spaces around it.
std::string_view TrimLineSpaces(std::string_view line);

// The text with each heading line at its head that repeats an earlier one (the chapter's title, a volume title,
// then the title again, as pages print their headings) left out with its line end and the blank lines after it. The
// head is the run of lines of at most kHeadingChars characters before the prose; a line repeats another when the two
// are equal but for white space, and it goes when it is `title` or names a chapter or a volume ("第一卷", "Chapter 3"):
// a short line of prose said twice ("噹！" "噹！") stays.
inline constexpr std::size_t kHeadingChars = 40;
std::string DropRepeatedHeadingLines(std::string text, std::string_view title);

// True when the text names a web address: "http://", "https://" or "www." (letters in either case).
bool HasWebAddress(std::string_view text);

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

// Whether `text` holds `lowerWord` (lower-case ASCII) at byte `pos`, ASCII letters compared without case.
bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view lowerWord);

}  // namespace lekto
