#pragma once
// The libcurl side of WebRequest: one-time library set-up, the process-wide cookie store, and a pool of easy
// handles so that connections are reused from call to call. A handle is used by one call at a time only; the
// pool hands it to whichever thread asks next. Handles that use the shared cookie store and handles that must
// never see it live in separate pools, so no cookie state can leak from one kind of call into the other.
#include <curl/curl.h>
#include <memory>

namespace lekto::http::detail {

struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// An easy handle lent for one call: reset to defaults on loan, back to its pool (or cleaned up) at the end.
class LeasedHandle {
 public:
  // `sharedCookies`: the handle belongs to the pool whose transfers keep and send cookies in the shared store.
  // `reuse` false: a fresh handle that is cleaned up afterwards, with none of the pool's open connections.
  LeasedHandle(bool sharedCookies, bool reuse);
  ~LeasedHandle();
  LeasedHandle(const LeasedHandle&) = delete;
  LeasedHandle& operator=(const LeasedHandle&) = delete;

  CURL* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  CURL* handle_ = nullptr;
  bool sharedCookies_;
  bool reuse_;
};

// The process-wide cookie store (a share object holding cookies, locked per kind of data).
CURLSH* SharedCookieStore();

}  // namespace lekto::http::detail
