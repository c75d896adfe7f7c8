#include "chapter/book.h"

#include "http/web_request.h"

namespace lekto {

Fetcher DefaultFetcher() {
  return [](const std::string& url) { return http::Get(url); };
}

}  // namespace lekto
