#include "http/curl_handles.h"

#include <array>
#include <mutex>
#include <utility>
#include <vector>

namespace lekto::http::detail {
namespace {

// Idle handles kept per pool; more than the six download workers plus the window's thread ever use at once.
constexpr std::size_t kMaxIdleHandles = 8;

// Everything libcurl needs process-wide. Created on first use and never destroyed: download threads may still
// be running when the process ends, and must not find the store gone.
struct Curl {
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;
  CURLSH* share = nullptr;
  std::mutex poolMutex;
  std::array<std::vector<CURL*>, 2> idle;  // [0] own cookies, [1] shared store

  Curl() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_LOCKFUNC, Lock);
    curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, Unlock);
    curl_share_setopt(share, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<Curl*>(self)->locks[static_cast<std::size_t>(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<Curl*>(self)->locks[static_cast<std::size_t>(data)].unlock();
  }
};

Curl& TheCurl() {
  static Curl* const curl = new Curl;  // thread-safe one-time initialisation, curl_global_init included
  return *curl;
}

}  // namespace

LeasedHandle::LeasedHandle(bool sharedCookies, bool reuse) : sharedCookies_(sharedCookies), reuse_(reuse) {
  Curl& curl = TheCurl();
  if (reuse_) {
    std::lock_guard lock(curl.poolMutex);
    std::vector<CURL*>& idle = curl.idle[sharedCookies_ ? 1 : 0];
    if (!idle.empty()) {
      handle_ = idle.back();
      idle.pop_back();
    }
  }
  if (handle_ != nullptr) {
    // Options go back to their defaults; open connections, and the store for the sharing pool, stay.
    // libcurl before 8.0 does not free the cookie-file list on reset (curl pull request 10709), one entry per
    // request of the sharing pool; clearing it first frees it, and with the share attached the store stays.
    if (sharedCookies_) curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, nullptr);
    curl_easy_reset(handle_);
  } else {
    handle_ = curl_easy_init();
  }
}

LeasedHandle::~LeasedHandle() {
  if (handle_ == nullptr) return;
  if (reuse_) {
    Curl& curl = TheCurl();
    std::lock_guard lock(curl.poolMutex);
    std::vector<CURL*>& idle = curl.idle[sharedCookies_ ? 1 : 0];
    if (idle.size() < kMaxIdleHandles) {
      idle.push_back(std::exchange(handle_, nullptr));
    }
  }
  if (handle_ != nullptr) curl_easy_cleanup(handle_);
}

CURLSH* SharedCookieStore() {
  return TheCurl().share;
}

}  // namespace lekto::http::detail
