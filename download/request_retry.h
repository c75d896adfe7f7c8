#pragma once
// When a failed request is worth trying again, and how long to wait first. Busy sites answer a burst of requests
// with 503 or 429, drop connections, or send half a body; a moment later the same request succeeds. Retried:
// every transfer failure but a bad address or an oversized answer, and the statuses 408, 429 and 5xx. Not
// retried: any other status of 400 or above (404 stays 404).
#include "http/response.h"

#include <chrono>
#include <random>

namespace lekto {

struct RetryPolicy {
  int extraAttempts = 3;                           // tries after the first
  std::chrono::milliseconds firstWait{500};        // doubled for every further try, give or take a quarter
  std::chrono::milliseconds maxRetryAfter{30000};  // a Retry-After asking for more is cut to this
};

bool IsRetryable(const http::Response& response);
// A 429 or a 503: the host itself says it is overloaded, so every request to it should slow down.
bool IsBusyAnswer(const http::Response& response);

// The wait a Retry-After value asks for: delay-seconds, or an HTTP date (as far in the future as it lies), capped
// at `cap`. Zero when absent, unreadable or in the past.
std::chrono::milliseconds RetryAfterWait(const http::Response& response, std::chrono::milliseconds cap);

// The wait before try number `retry` (1 for the first retry): firstWait x 2^(retry-1), jittered by up to a
// quarter either way so that six workers hit by the same hiccup do not come back in step.
std::chrono::milliseconds BackoffWait(const RetryPolicy& policy, int retry, std::minstd_rand& random);

}  // namespace lekto
