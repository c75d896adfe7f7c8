#include "chapter/site_rule.h"

#include "chapter/body_location.h"
#include "chapter/link_resolution.h"
#include "chapter/page_loop.h"
#include "regex/regex_engine.h"
#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <utility>

namespace lekto {

bool IsSpecialSite(std::string_view link) {
  return text::Contains(link, kSpecialSiteFragment);
}

std::string ExtractSpecialSite(int row, std::string firstPage, const ChapterJob& job) {
  PageGuard guard(job.book.LinkAt(row), job.controls.Address());
  std::string body;
  std::string page = std::move(firstPage);
  while (true) {
    RegexEngine content;
    content.Compile(R"(id="content">([\s\S]*?)</div>)", page);
    body += content.GroupText(1, 1);
    body += "\r\n";

    std::string link = NextPageLink(page);
    if (link.empty()) break;
    const std::string address = ResolveLink(link, job.controls.Address(), job.book.siteRoot);
    if (!guard.Admit(address)) break;
    // The site's continuation pages are UTF-8 whatever they declare.
    page = text::Utf8ToAnsi(FetchPage(job.fetch, address));
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
