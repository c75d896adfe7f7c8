#include "http/web_request.h"

#include "http/cookies.h"
#include "http/curl_handles.h"
#include "http/url.h"
#include "http/web_request_testing.h"
#include "text/gbk_text.h"

#include <sys/mman.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>

namespace lekto::http {
namespace {

namespace text = lekto::text;

// Response header blocks that do not fit are replaced by this many spaces, and yield no cookies.
constexpr std::size_t kHeaderCapacity = 5000;
constexpr long kMaxRedirects = 20;
// More response header bytes than any real site sends, redirects included; past this the transfer is given up.
constexpr curl_off_t kMaxHeaderBytes = 1 << 20;
// Larger reads than libcurl's 16 KB default: fewer system calls and callbacks on big bodies.
constexpr long kReceiveBuffer = 256 * 1024;

struct Settings {
  std::mutex mutex;
  TransferLimits limits;
  std::shared_ptr<const std::string> extraTrust;  // system bundle plus the tests' certificate
};

Settings& TheSettings() {
  static Settings* const settings = new Settings;  // outlives threads still running at process end
  return *settings;
}

// What one transfer collects through libcurl's callbacks.
struct Exchange {
  CURL* curl = nullptr;
  std::string body;
  std::size_t maxBody = 0;
  std::string headers;  // the latest response's status line and header lines, each ending in CR LF
  bool headersComplete = false;
  // HEAD with a request body goes out as a custom request, for which libcurl would wait for a response body that
  // never comes; the transfer is stopped at the end of the first final header block instead.
  bool stopAfterHeaders = false;
  bool stoppedAfterHeaders = false;
  // Low-speed watch: bytes moved (either way) since `windowStart` must reach one per second of the window.
  std::chrono::milliseconds lowSpeedWindow{0};
  std::chrono::steady_clock::time_point windowStart = std::chrono::steady_clock::now();
  curl_off_t bytesAtWindowStart = 0;
  // Silence watch: a window without a single byte ends the transfer at once, wherever the windows above lie.
  std::chrono::steady_clock::time_point lastMove = windowStart;
  curl_off_t bytesAtLastMove = 0;
  curl_off_t lastSeen = 0;     // libcurl's latest count of body bytes both ways
  curl_off_t moved = 0;        // body bytes both ways, over every request of a redirect chain
  curl_off_t headerBytes = 0;  // response header bytes, every response included
};

// Faulting in a fresh multi-megabyte buffer page by page costs more than receiving into it; huge pages cut
// the number of faults by 512.
void AdviseHugePages(std::string& buffer) {
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (buffer.capacity() < 4 * kHuge) return;
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
  const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (begin + buffer.capacity()) & ~(kHuge - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  const size_t n = size * count;
  if (exchange->body.size() + n > exchange->maxBody) return 0;  // aborts the transfer
  try {
    if (exchange->body.empty()) {
      // Room for the whole body at once when its length is announced, instead of growing step by step.
      curl_off_t length = -1;
      if (curl_easy_getinfo(exchange->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0) {
        exchange->body.reserve(std::min(static_cast<std::size_t>(length), exchange->maxBody));
        AdviseHugePages(exchange->body);
      }
    }
    exchange->body.append(data, n);
  } catch (const std::bad_alloc&) {  // must not unwind through libcurl
    return 0;
  }
  return n;
}

// Gives up a transfer that has moved no byte for a whole window (a server that sent its headers and then nothing),
// or fewer bytes than one per second over a whole window. libcurl's own low-speed limit averages over its last
// five seconds, so it cannot act on a short window; this one also covers a stalled TLS handshake, where nothing
// has moved at all.
int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* exchange = static_cast<Exchange*>(user);
  // libcurl counts from zero again for each request of a redirect chain; keep one running total.
  const curl_off_t seen = downloaded + uploaded;
  if (seen < exchange->lastSeen) exchange->lastSeen = 0;
  exchange->moved += seen - exchange->lastSeen;
  exchange->lastSeen = seen;
  const curl_off_t total = exchange->moved + exchange->headerBytes;

  const auto now = std::chrono::steady_clock::now();
  if (total != exchange->bytesAtLastMove) {
    exchange->bytesAtLastMove = total;
    exchange->lastMove = now;
  } else if (exchange->lowSpeedWindow.count() > 0 && now - exchange->lastMove >= exchange->lowSpeedWindow) {
    return 1;  // aborts the transfer
  }
  const auto elapsed = now - exchange->windowStart;
  if (elapsed < exchange->lowSpeedWindow) return 0;
  if (total - exchange->bytesAtWindowStart < std::chrono::duration_cast<std::chrono::seconds>(elapsed).count()) {
    return 1;  // aborts the transfer
  }
  exchange->windowStart = now;
  exchange->bytesAtWindowStart = total;
  return 0;
}

// A 1xx answer ("HTTP/1.1 100 Continue") comes before the real one.
bool IsInterimResponse(std::string_view block) {
  const std::size_t space = block.find(' ');
  return space != std::string_view::npos && space + 1 < block.size() && block[space + 1] == '1';
}

// Called once per header line of every response, redirects and interim answers included; a status line starts
// a new block, so the block left at the end is the final response's.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* exchange = static_cast<Exchange*>(user);
  const size_t n = size * count;
  exchange->headerBytes += static_cast<curl_off_t>(n);
  if (exchange->headerBytes > kMaxHeaderBytes) return 0;  // an endless header stream: give up
  std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    exchange->headers.clear();
    exchange->headersComplete = false;
  }
  if (!exchange->headersComplete) {  // trailers after a chunked body are not part of the block
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    // Past the capacity the block is replaced by spaces anyway; keeping one more line than fits is enough.
    try {
      if (exchange->headers.size() < kHeaderCapacity) exchange->headers.append(line).append("\r\n");
    } catch (const std::bad_alloc&) {  // must not unwind through libcurl
      return 0;
    }
    exchange->headersComplete = line.empty();
    if (exchange->headersComplete && exchange->stopAfterHeaders && !IsInterimResponse(exchange->headers)) {
      exchange->stoppedAfterHeaders = true;
      return 0;
    }
  }
  return n;
}

// The header block as libcurl's list: one entry per line, in order. libcurl drops a line whose value is blank
// and sends "Name;" as "Name:", so such lines are rewritten to go out as written. Its own "Expect" is
// suppressed unless the caller sent one: the block is the request's whole header set.
detail::CurlList HeaderList(std::string_view block) {
  curl_slist* list = nullptr;
  bool hasExpect = false;
  for (const std::string_view piece : HeaderLines(block)) {
    std::string line(piece);
    const int colon = text::Find(line, ":");
    if (colon > 0 && line.find_first_not_of(" \t", static_cast<std::size_t>(colon)) == std::string::npos) {
      line = text::Left(line, colon - 1) + ";";
    }
    if (text::StartsWith(text::ToLowerAscii(line), "expect:")) hasExpect = true;
    list = curl_slist_append(list, line.c_str());
  }
  if (!hasExpect) list = curl_slist_append(list, "Expect:");
  return detail::CurlList(list);
}

void SetMethodAndBody(CURL* curl, std::string_view verb, const std::string& body, Exchange& exchange) {
  if (verb == "GET") {
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    return;
  }
  if (verb == "HEAD") {
    if (body.empty()) {
      curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
      return;
    }
    // libcurl sends no body with its own HEAD, so this one is a custom request that is not redirected.
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "HEAD");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    exchange.stopAfterHeaders = true;
  }
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
}

TransferError ErrorOf(CURLcode code, const Exchange& exchange) {
  switch (code) {
    case CURLE_OK:
      return TransferError::kNone;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
      return TransferError::kConnect;
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:  // the low-speed watch
      return TransferError::kTimedOut;
    case CURLE_WRITE_ERROR:  // the body cap
    case CURLE_FILESIZE_EXCEEDED:
      return TransferError::kTooLarge;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_BAD_CONTENT_ENCODING:
      return TransferError::kCutOff;
    default:
      return exchange.headerBytes > kMaxHeaderBytes ? TransferError::kTooLarge : TransferError::kOther;
  }
}

// The value of the final response's header `name` (lower case), trimmed; empty when it has none.
std::string HeaderValue(std::string_view block, std::string_view name) {
  // Byte by byte: a server's header may carry any bytes, and a GBK split would read a line break after a byte of
  // 0x81 or more as part of a character.
  for (const std::string_view line : HeaderLines(block)) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon != name.size()) continue;
    if (text::ToLowerAscii(line.substr(0, colon)) != name) continue;
    const std::size_t start = line.find_first_not_of(" \t", colon + 1);
    if (start == std::string_view::npos) return {};
    return std::string(line.substr(start, line.find_last_not_of(" \t") - start + 1));
  }
  return {};
}

// WebRequest's whole work; `outcome`, when given, receives the final response's status and reading headers, or
// why there was none.
std::string Perform(std::string_view url, std::optional<int> method, std::optional<std::string_view> postText,
                    std::string* cookies, std::string* returnedCookies, std::string* headers,
                    std::string* returnedHeaders, std::optional<bool> noRedirect, std::string* postBytes,
                    std::optional<std::string_view> proxy, std::optional<bool> autoMergeCookies, Response* outcome) {
  if (outcome != nullptr) {
    *outcome = Response();
    outcome->error = TransferError::kOther;
  }
  // An address pasted with white space around it names the same page; the scheme must then start the text.
  const std::size_t first = url.find_first_not_of(" \t\r\n");
  url = first == std::string_view::npos ? std::string_view()
                                        : url.substr(first, url.find_last_not_of(" \t\r\n") - first + 1);
  try {
    const bool autoMerge = autoMergeCookies.value_or(true);
    const std::string_view verb = VerbOf(method.value_or(0));
    const bool secure = IsSecureUrl(url);
    std::string agent = UserAgentOf(headers != nullptr ? std::string_view(*headers) : std::string_view());
    agent.resize(std::min(agent.size(), agent.find_first_of("\r\n")));  // one header line, never more
    const std::optional<std::string> address = RequestAddress(url);
    if (!address) {
      if (outcome != nullptr) outcome->error = TransferError::kBadAddress;
      return {};
    }

    TransferLimits limits;
    std::shared_ptr<const std::string> extraTrust;
    {
      Settings& settings = TheSettings();
      std::lock_guard lock(settings.mutex);
      limits = settings.limits;
      extraTrust = settings.extraTrust;
    }
    // Supplying `cookies` at all, even empty, keeps this request away from the shared store.
    const bool sharedStore = cookies == nullptr;
    detail::LeasedHandle handle(sharedStore, limits.reuseConnections);
    if (!handle) return {};
    CURL* curl = handle.get();

    // From here on the in-out parameters are rewritten, as the request has been composed.
    const std::string block = CompleteHeaders(headers != nullptr ? std::string_view(*headers) : std::string_view(), url,
                                              cookies != nullptr ? std::string_view(*cookies) : std::string_view());
    if (headers != nullptr) *headers = block;
    std::string ownPostBytes;
    const std::string body =
        ChooseBody(verb, postBytes != nullptr ? *postBytes : ownPostBytes, postText.value_or(std::string_view()));

    Exchange exchange;
    exchange.curl = curl;
    exchange.maxBody = limits.maxBodyBytes;
    const detail::CurlList headerList = HeaderList(block);
    const std::string proxyText(proxy.value_or(std::string_view()));

    curl_easy_setopt(curl, CURLOPT_URL, address->c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    // A plain request may be sent on to HTTPS; a secure one never drops to plain HTTP.
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, noRedirect.value_or(false) ? 0L : 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // every encoding libcurl decodes, returned decoded
    // An empty proxy also keeps libcurl from taking one from the environment.
    curl_easy_setopt(curl, CURLOPT_PROXY, proxyText.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    // The speed floor alone lets a server that trickles a few bytes a second hold a worker, or the window, for as
    // long as it likes; the whole exchange, redirects included, gets a deadline too.
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    exchange.lowSpeedWindow = std::chrono::milliseconds(limits.lowSpeedWindowMs);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &exchange);
    if (sharedStore) {
      curl_easy_setopt(curl, CURLOPT_SHARE, detail::SharedCookieStore());
      curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // turns cookie handling on, reading no file
    }
    if (extraTrust) {
      curl_blob blob{const_cast<char*>(extraTrust->data()), extraTrust->size(), CURL_BLOB_COPY};
      curl_easy_setopt(curl, CURLOPT_CAINFO_BLOB, &blob);
    }
    if (!limits.reuseConnections) {
      curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
      curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    }
    SetMethodAndBody(curl, verb, body, exchange);

    const CURLcode code = curl_easy_perform(curl);
    const bool ok = code == CURLE_OK || (code == CURLE_WRITE_ERROR && exchange.stoppedAfterHeaders);
    if (outcome != nullptr) {
      long status = 0;
      curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
      outcome->error = ok ? TransferError::kNone : ErrorOf(code, exchange);
      outcome->status = static_cast<int>(status);
      outcome->contentType = HeaderValue(exchange.headers, "content-type");
      outcome->retryAfter = HeaderValue(exchange.headers, "retry-after");
    }

    // Any failure, a cut-off body included, gives the empty result: a partial page must not pass for a whole one.
    std::string result = ok ? std::move(exchange.body) : std::string();
    std::string headerText = ok && exchange.headers.size() < kHeaderCapacity ? std::move(exchange.headers)
                                                                             : std::string(kHeaderCapacity, ' ');
    headerText = text::ReplaceAll(headerText, "Set-Cookie", "Set-Cookie", true);
    std::string gathered = GatherResponseCookies(headerText);
    if (autoMerge && cookies != nullptr) gathered = MergeCookies(*cookies, gathered);
    if (returnedHeaders != nullptr) *returnedHeaders = std::move(headerText);
    if (returnedCookies != nullptr) *returnedCookies = std::move(gathered);
    return result;
  } catch (...) {  // out of memory: the empty result, as for every failure
    return {};
  }
}

}  // namespace

std::string WebRequest(std::string_view url, std::optional<int> method, std::optional<std::string_view> postText,
                       std::string* cookies, std::string* returnedCookies, std::string* headers,
                       std::string* returnedHeaders, std::optional<bool> noRedirect, std::string* postBytes,
                       std::optional<std::string_view> proxy, std::optional<bool> autoMergeCookies) {
  return Perform(url, method, postText, cookies, returnedCookies, headers, returnedHeaders, noRedirect, postBytes,
                 proxy, autoMergeCookies, nullptr);
}

Response Get(std::string_view url) {
  Response response;
  std::string body = Perform(url, std::nullopt, std::nullopt, nullptr, nullptr, nullptr, nullptr, std::nullopt, nullptr,
                             std::nullopt, std::nullopt, &response);
  response.body = std::move(body);
  return response;
}

void TrustCertificateForTests(const std::string& pemPath) {
  auto read = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
  };
  std::string bundle;
  if (const detail::LeasedHandle probe(false, false); probe) {
    const char* systemBundle = nullptr;
    if (curl_easy_getinfo(probe.get(), CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle != nullptr) {
      bundle = read(systemBundle) + "\n";
    }
  }
  bundle += read(pemPath);
  Settings& settings = TheSettings();
  std::lock_guard lock(settings.mutex);
  settings.extraTrust = std::make_shared<const std::string>(std::move(bundle));
}

void SetTransferLimitsForTests(const TransferLimits& limits) {
  Settings& settings = TheSettings();
  std::lock_guard lock(settings.mutex);
  settings.limits = limits;
}

TransferLimits TransferLimitsInForce() {
  Settings& settings = TheSettings();
  std::lock_guard lock(settings.mutex);
  return settings.limits;
}

}  // namespace lekto::http
