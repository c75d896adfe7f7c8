#include "download/request_retry.h"

#include <time.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <string>

namespace lekto {

bool IsRetryable(const http::Response& response) {
  switch (response.error) {
    case http::TransferError::kNone:
      break;
    case http::TransferError::kBadAddress:
    case http::TransferError::kTooLarge:
    case http::TransferError::kCheckNotPassed:  // a browser already waited for the check
      return false;
    default:
      return true;
  }
  return response.status == 408 || response.status == 429 || response.status >= 500;
}

bool IsBusyAnswer(const http::Response& response) {
  return response.error == http::TransferError::kNone && (response.status == 429 || response.status == 503);
}

std::chrono::milliseconds RetryAfterWait(const http::Response& response, std::chrono::milliseconds cap) {
  const std::string& value = response.retryAfter;
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const std::size_t last = value.find_last_not_of(" \t");
  const std::string trimmed = value.substr(first, last - first + 1);
  std::chrono::milliseconds wait{0};
  if (std::all_of(trimmed.begin(), trimmed.end(), [](unsigned char c) { return std::isdigit(c) != 0; })) {
    if (trimmed.size() > 9) return cap;
    wait = std::chrono::seconds(std::stol(trimmed));
  } else {
    // The one date form HTTP senders must use: "Wed, 21 Oct 2015 07:28:00 GMT".
    std::tm parts{};
    const char* end = ::strptime(trimmed.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (end == nullptr || *end != '\0') return {};
    const time_t when = ::timegm(&parts);
    const time_t now = std::time(nullptr);
    if (when == -1 || when <= now) return {};
    wait = std::chrono::seconds(when - now);
  }
  return std::min(wait, cap);
}

std::chrono::milliseconds BackoffWait(const RetryPolicy& policy, int retry, std::minstd_rand& random) {
  const long long base = policy.firstWait.count() << std::clamp(retry - 1, 0, 16);
  std::uniform_int_distribution<long long> jitter(-base / 4, base / 4);
  return std::chrono::milliseconds(base + jitter(random));
}

}  // namespace lekto
