#pragma once
// Tests and benchmarks only: the transfer limits WebRequest works under, so that a stall test takes a second
// instead of half a minute and a benchmark can compare fresh connections with reused ones. The program itself
// never changes them.
#include <cstddef>

namespace lekto::http {

struct TransferLimits {
  long connectTimeoutMs = 15000;         // giving up on a connection that does not open
  long lowSpeedWindowMs = 20000;         // giving up when below 1 byte/s over a window this long
  long totalTimeoutMs = 60000;           // giving up on a transfer, however lively, that takes longer than this
  std::size_t maxBodyBytes = 64u << 20;  // giving up on a longer body
  bool reuseConnections = true;          // keep connections open between calls
};

void SetTransferLimitsForTests(const TransferLimits& limits);
TransferLimits TransferLimitsInForce();

}  // namespace lekto::http
