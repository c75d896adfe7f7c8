#pragma once
// The fetches of one window job in order, each with why it gave no page, so that the window can tell the reader
// plainly what failed instead of reporting an empty result as a success.
#include "http/response.h"

#include <cstddef>
#include <string>
#include <vector>

namespace lekto {

struct FetchRecord {
  std::string url;
  std::string failure;  // why no page came, in words for the reader (GBK); empty when one did
};
using FetchLog = std::vector<FetchRecord>;

// Why `response` is not a page: a transfer that failed, an HTTP error, or a body that is no page at all (a
// picture, a file to save, nothing). Empty when it is a page. GBK.
std::string PageFailure(const http::Response& response);

// Index of the first failed fetch at or after `from`; the log's size when there is none.
std::size_t FirstFailure(const FetchLog& log, std::size_t from = 0);

}  // namespace lekto
