#pragma once
// How WebRequest turns its arguments into the pieces of one HTTP exchange: secure or not, host, port and object
// path of the URL, the verb, the User-Agent, the completed request header block and the request body. Pure text
// operations on GBK text, searching by whole characters (text/gbk_text.h); none touches the network.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lekto::http {

inline constexpr std::string_view kDefaultUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// True when the first 8 characters, lower-cased, are "https://". A URL without a scheme is plain HTTP.
bool IsSecureUrl(std::string_view url);

// The lower-cased host: the text after the leading scheme prefix up to the next "/", without the port unless
// `keepPort`. A URL that does not start with a scheme prefix is read as if "http://" stood in front of it.
std::string HostOf(std::string_view url, bool keepPort = false);

// The port written after the host's last ":" (its leading digits; none gives 0), else 443 for "https" URLs
// and 80 for the rest; -1 for a run of digits too long to be any port.
int PortOf(std::string_view url);

// Everything from the first "/" after the host, query and fragment included, in the URL's own letter case;
// "/" when nothing follows the host.
std::string PathOf(std::string_view url);

// The text between the first `left` found from `start` (1-based) and the next `right` after it; empty when
// either is missing. "#引号" (in GBK) inside a marker stands for a double quote.
std::string TextBetween(std::string_view text, std::string_view left, std::string_view right, int start = 1,
                        bool ignoreCase = false);

// Everything after the first ":", trimmed; empty without a ":".
std::string TextAfterFirstColon(std::string_view text);

// "GET", "POST" or "HEAD" for 0, 1, 2; "GET" for any other value.
std::string_view VerbOf(int method);

// The agent named by a "User-Agent:" line of `headers` (any letter case), else the default agent.
std::string UserAgentOf(std::string_view headers);

// The caller's header lines completed with Accept, Referer, Accept-Language, Content-Type and, when `cookies`
// is not empty, the Cookie line, each added only when missing. Lines are separated by CR LF; no trailing CR LF.
// No CR or LF reaches the block but the pairs that separate lines: every other CR or LF byte, in the caller's
// lines, the URL (the Referer is the URL as written) or the cookies, is percent-encoded.
std::string CompleteHeaders(std::string_view headers, std::string_view url, std::string_view cookies);

// The non-empty lines of a header block, split byte by byte at every CR LF (not by GBK characters: a lead byte
// must not hide the CR after it).
std::vector<std::string_view> HeaderLines(std::string_view block);

// The request body: empty for GET; otherwise `postBytes`, or, when that is empty, the bytes of `postText`,
// which are then also stored into `postBytes`.
std::string ChooseBody(std::string_view verb, std::string& postBytes, std::string_view postText);

// An address the reader typed (GBK, as the address box holds it) as a browser sends it: each character outside
// ASCII becomes the percent-encoded bytes of its UTF-8 form ("中" -> "%E4%B8%AD"); ASCII, a typed "%"
// included, stays as it is. Links found in pages do not come here: their GBK bytes are percent-encoded as
// they stand when the request is made.
std::string EncodeTypedAddress(std::string_view address);

// The address actually fetched, rebuilt from the secure flag, host, port and path, so that only HTTP and HTTPS
// can ever be requested. Bytes a URL may not carry (spaces, control bytes, GBK characters) are percent-encoded
// in the path. No value for an over-long URL, an empty host, a host with anything but letters, digits, "-", "."
// and "_", or a port outside 1 to 65535.
std::optional<std::string> RequestAddress(std::string_view url);

}  // namespace lekto::http
