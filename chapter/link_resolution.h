#pragma once
// ResolveLink: the one rule that turns a link found in a page into an absolute address. It resolves against
// the table-of-contents address as it stands now, the site root taken from it when the book was parsed and,
// for links that name their own folder ("./", "../"), the address of the page the link was found on.
#include <string>
#include <string_view>

namespace lekto {

// Returns the absolute address and also leaves it in `link`. Never fails: a link that cannot be resolved
// sensibly gives a wrong address, which then simply fails to load.
//  - a link starting "./" or "../" resolves against the folder of `pageAddress`, as a browser resolves it
//    (with an empty `pageAddress` it takes the rules below);
//  - a link containing "http", or "http://" or "https://" in any letter case, is taken as absolute;
//  - a bare file name (no "/") replaces the file name of the table-of-contents address, or is appended to it
//    when the address names a folder;
//  - a path with "/" but no "//" hangs off the site root, with doubled slashes collapsed;
//  - a link with "//" (scheme-relative) gets the site root's scheme in front.
std::string ResolveLink(std::string& link, std::string_view tocAddress, std::string_view siteRoot,
                        std::string_view pageAddress);

}  // namespace lekto
