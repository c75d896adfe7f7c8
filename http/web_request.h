#pragma once
// WebRequest: the one operation that fetches a URL over HTTP or HTTPS. Synchronous; returns the response body
// as bytes, empty on any failure; never throws. Every optional parameter arrives with whether the caller
// supplied it: an omitted value is std::nullopt, an omitted in-out or out parameter is nullptr.
#include "http/response.h"

#include <optional>
#include <string>
#include <string_view>

namespace lekto::http {

std::string WebRequest(std::string_view url,                                     // 1
                       std::optional<int> method = std::nullopt,                 // 2: 0 GET, 1 POST, 2 HEAD
                       std::optional<std::string_view> postText = std::nullopt,  // 3
                       std::string* cookies = nullptr,                 // 4: in-out; supplied turns the shared store off
                       std::string* returnedCookies = nullptr,         // 5: out
                       std::string* headers = nullptr,                 // 6: in-out
                       std::string* returnedHeaders = nullptr,         // 7: out
                       std::optional<bool> noRedirect = std::nullopt,  // 8
                       std::string* postBytes = nullptr,               // 9: in-out
                       std::optional<std::string_view> proxy = std::nullopt,  // 10
                       std::optional<bool> autoMergeCookies = std::nullopt);  // 11

// A page fetched as the pipeline fetches it: GET with the URL alone, as WebRequest(url) does, with the final
// response's status and reading headers beside the body, or why no response arrived.
Response Get(std::string_view url);

// Tests only: trust this PEM certificate (the test server's own) in addition to the system's store.
// Verification itself is never turned off.
void TrustCertificateForTests(const std::string& pemPath);

}  // namespace lekto::http
