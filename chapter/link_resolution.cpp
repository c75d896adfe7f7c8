#include "chapter/link_resolution.h"

#include "text/gbk_text.h"

#include <vector>

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

bool IsFolderRelative(std::string_view link) {
  return link.starts_with("./") || link.starts_with("../");
}

// A path ("/a/./b/../c") with its "." and ".." segments taken out, as RFC 3986 removes them; ".." never climbs
// above the root. A path that ends in a dot segment names a folder and keeps its closing "/".
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  bool folder = false;
  for (std::size_t pos = 1;;) {
    const std::size_t end = path.find('/', pos);
    const std::string_view segment = path.substr(pos, end == std::string_view::npos ? end : end - pos);
    const bool last = end == std::string_view::npos;
    if (segment == "." || segment == "..") {
      if (segment == ".." && !kept.empty()) kept.pop_back();
      folder = last;
    } else {
      kept.push_back(segment);
      folder = false;
    }
    if (last) break;
    pos = end + 1;
  }
  std::string result;
  for (const std::string_view segment : kept) {
    result += '/';
    result += segment;
  }
  if (folder || result.empty()) result += '/';
  return result;
}

// "./x.html" and "../x.html" against the folder of the page they stand on. The bytes looked for ("/", ".",
// "?", "#") are below 0x40 and never the second byte of a GBK character.
std::string ResolveAgainstPage(std::string_view link, std::string_view pageAddress) {
  const std::string_view page = pageAddress.substr(0, pageAddress.find_first_of("?#"));
  const std::size_t scheme = page.find("://");
  const std::size_t pathStart = page.find('/', scheme == std::string_view::npos ? 0 : scheme + 3);
  std::string merged = pathStart == std::string_view::npos ? std::string("/") : std::string(page.substr(pathStart));
  merged.erase(merged.rfind('/') + 1);
  merged += link;
  // Only the path has dot segments; the link's own query and fragment pass as they are.
  const std::size_t tail = merged.find_first_of("?#");
  return std::string(page.substr(0, pathStart)) + RemoveDotSegments(std::string_view(merged).substr(0, tail)) +
         (tail == std::string::npos ? std::string() : merged.substr(tail));
}

}  // namespace

std::string ResolveLink(std::string& link, std::string_view tocAddress, std::string_view siteRoot,
                        std::string_view pageAddress) {
  if (IsFolderRelative(link) && !pageAddress.empty()) {
    link = ResolveAgainstPage(link, pageAddress);
    return link;
  }
  // "HTTP://host/2.html" is as absolute as its lower-case form; without this the scheme-relative rule below
  // would glue the site root's scheme onto it.
  if (text::Contains(link, "http") || text::Contains(link, "http://", true) || text::Contains(link, "https://", true))
    return link;

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
