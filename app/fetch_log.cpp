#include "app/fetch_log.h"

#include "text/gbk_text.h"
#include "text/text_codec.h"

#include <algorithm>
#include <string_view>

namespace lekto {

namespace {

// A media type no page comes as. Sites send their pages as text/html, now and then as text/plain or an XML
// type, and some send none at all; those all pass.
bool IsNotAPageType(std::string_view mediaType) {
  for (std::string_view prefix : {"image/", "audio/", "video/", "font/", "model/"}) {
    if (text::StartsWith(mediaType, prefix)) return true;
  }
  return text::StartsWith(mediaType, "application/") && !text::Contains(mediaType, "xml");
}

}  // namespace

std::string PageFailure(const http::Response& response) {
  std::string reason = http::FailureReason(response);
  if (!reason.empty()) return reason;
  const std::string mediaType = text::Trim(text::ToLowerAscii(
      response.contentType.substr(0, std::min(response.contentType.size(), response.contentType.find(';')))));
  if (IsNotAPageType(mediaType)) return text::Gbk(u8"不是网页（") + mediaType + text::Gbk(u8"）");
  if (response.body.empty()) return text::Gbk(u8"页面为空");
  return {};
}

std::size_t FirstFailure(const FetchLog& log, std::size_t from) {
  for (std::size_t i = from; i < log.size(); ++i) {
    if (!log[i].failure.empty()) return i;
  }
  return log.size();
}

}  // namespace lekto
