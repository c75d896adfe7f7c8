#include "chapter/link_resolution.h"

#include "text/gbk_text.h"

namespace lekto {

namespace {

// The address of a page that lists the chapters of a folder: a bare file name resolves against it.
std::string ResolveFileName(std::string_view link, std::string_view tocAddress, std::string_view siteRoot) {
  // Whether the address ends in a file name is decided on its path alone: the host may hold dots.
  const std::string path = siteRoot.empty() ? std::string(tocAddress) : text::ReplaceAll(tocAddress, siteRoot, "");
  if (text::Contains(path, ".")) {
    // ".../list.html" -> ".../" + link. Without any "/" nothing of the address is kept.
    return text::Left(tocAddress, text::FindLast(tocAddress, "/")) + std::string(link);
  }
  // The address names a folder. Written without its closing "/" (".../book"), the server answers from
  // ".../book/", so the link lives inside that folder: gluing it onto the folder name would give an address
  // that exists nowhere.
  std::string base(tocAddress);
  if (!base.empty() && !text::EndsWith(base, "/")) base += '/';
  return base + std::string(link);
}

}  // namespace

std::string ResolveLink(std::string& link, std::string_view tocAddress, std::string_view siteRoot) {
  if (text::Contains(link, "http")) return link;

  if (!text::Contains(link, "/")) {
    link = ResolveFileName(link, tocAddress, siteRoot);
  } else if (!text::Contains(link, "//")) {
    // "/book/1.html" and "book/1.html" both hang off the site root. Collapsing every doubled slash also
    // shortens the scheme's "://", which the last replacement restores.
    std::string address = std::string(siteRoot) + "/" + link;
    address = text::ReplaceAll(address, "///", "/");
    address = text::ReplaceAll(address, "//", "/");
    link = text::ReplaceAll(address, ":/", "://");
  } else {
    // "//host/path": the site root's scheme ("https:") goes in front; without a scheme in the root the link
    // stays as it is.
    const int slashes = text::Find(siteRoot, "//");
    link = (slashes > 0 ? text::Left(siteRoot, slashes - 1) : std::string()) + link;
  }
  return link;
}

}  // namespace lekto
