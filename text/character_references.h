#pragma once
// Character references as a browser shows them: "&amp;" as "&", "&#20013;" and "&#x4E2D;" as "中", "&hellip;" as
// "…". The written cleanup of a chapter removes only the few references it names ("&nbsp;", "&lt;" ...) and the
// list's titles keep them all; a reference still standing in the reader's text is markup, not text.
#include <string>
#include <string_view>

namespace lekto::text {

// The GBK text with every well-formed reference replaced by its character: decimal and hexadecimal ones (the
// numbers 128-159 read as the Windows-1252 characters browsers show for them; 0, surrogates and numbers past
// U+10FFFF as "?"), and the named ones in common use on novel sites, which must end with ";". A no-break space
// becomes a plain space, and the zero-width characters vanish. A character GBK lacks is kept as its four-byte
// form. Anything else (an unknown name, a "&" in prose) stays as it is. A text without "&" is handed back as it
// came, uncopied.
std::string DecodeCharacterReferences(std::string gbk);

}  // namespace lekto::text
