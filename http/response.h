#pragma once
// What one fetch of a page gives its caller: the final response's status, body and the headers the pipeline
// reads, or why no response arrived. Kept apart from WebRequest, whose written interface returns the body alone.
#include <string>

namespace lekto::http {

// Why a transfer ended without a whole response.
enum class TransferError {
  kNone,
  kBadAddress,  // not an address this client fetches (scheme, host, port, length)
  kConnect,     // the host could not be resolved or reached
  kTimedOut,    // too slow: no connection in time, or below the speed floor
  kCutOff,      // the connection broke before the body was whole
  kTooLarge,    // more body or header bytes than any page has
  // Read in a browser, the page still showed the site's "checking your browser" page.
  kCheckNotPassed,
  kOther,
};

struct Response {
  int status = 0;           // the final response's status; 0 when none arrived
  std::string body;         // its body, also for an error status; empty on a transfer error
  std::string contentType;  // its Content-Type value
  std::string retryAfter;   // its Retry-After value
  TransferError error = TransferError::kNone;

  // A response that arrived whole with a status below 400.
  bool Ok() const { return error == TransferError::kNone && status > 0 && status < 400; }

  // A page answered whole with `status`: what fetchers that serve pages from memory hand out.
  static Response Answered(std::string body, int status = 200) {
    Response response;
    response.status = status;
    response.body = std::move(body);
    return response;
  }
};

// Why a response is not a page, in words for the reader (GBK): "HTTP 404", "连接超时", ...; empty when it is one.
std::string FailureReason(const Response& response);

}  // namespace lekto::http
