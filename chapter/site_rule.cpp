#include "chapter/site_rule.h"

#include "chapter/body_location.h"
#include "chapter/link_resolution.h"
#include "chapter/page_loop.h"
#include "http/url.h"
#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <utility>

namespace lekto {

bool IsSpecialSite(std::string_view link) {
  return text::Contains(link, kSpecialSiteFragment);
}

std::string ExtractSpecialSite(int row, std::string firstPage, const ChapterJob& job) {
  const std::string firstAddress = job.book.LinkAt(row);
  const std::string host = http::HostOf(firstAddress, true);
  // The table-of-contents address is taken in the form it was fetched in, which the rows were resolved
  // against, and read afresh for every link.
  PageGuard guard(firstAddress, http::EncodeTypedAddress(job.controls.Address()));
  std::string body;
  std::string page = std::move(firstPage);
  std::string pageAddress = firstAddress;
  while (true) {
    RegexEngine content;
    content.Compile(R"(id="content">([\s\S]*?)</div>)", page);
    body += content.GroupText(1, 1);
    body += "\r\n";

    std::string link = NextPageLink(page);
    if (link.empty()) break;
    const std::string address =
        ResolveLink(link, http::EncodeTypedAddress(job.controls.Address()), job.book.siteRoot, pageAddress);
    // As in the page loop, a continuation never leaves the chapter's host.
    if (http::HostOf(address, true) != host || !guard.Admit(address)) break;
    // The site's continuation pages are UTF-8 whatever they declare.
    page = text::Utf8ToText(FetchPage(job.fetch, address).body);
    pageAddress = address;
  }

  static const std::string kMarkers[] = {
      "????",
      text::Gbk(u8"-->>本章未完，点击下一页继续阅读"),
      "-->>",
      text::Gbk(u8"本章未完，点击下一页继续阅读"),
  };
  for (const std::string& marker : kMarkers) body = text::ReplaceAll(body, marker, "");
  return body;
}

}  // namespace lekto
