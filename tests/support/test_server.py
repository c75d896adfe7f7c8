#!/usr/bin/env python3
"""Local HTTP and HTTPS server for Lekto's tests.

Listens on 127.0.0.1 only, one plain and one TLS listener, each on a port the system picks. Prints
"READY <http port> <https port>" on stdout once both accept connections, and exits when its stdin reaches end of
file (the test process that started it has gone) or when it is killed.

Every request outside the control routes (/__...) is recorded: method, target, the header block exactly as
received and the body. Routes live in ROUTES (exact path) and PREFIX_ROUTES (path prefix); a folder tree can be
served under a URL prefix with --static PREFIX=FOLDER or the /__static control route. Add a route by decorating a
function with @route("/path") or @route("/prefix/", prefix=True); it receives the handler and the parsed query.
"""
import argparse
import gzip
import mimetypes
import os
import random
import socket
import ssl
import struct
import sys
import threading
import urllib.parse
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

# Generated bodies repeat with this period; test_server.cpp's PatternBytes computes the same bytes.
PATTERN_PERIOD = 1000003
_pattern = None
_pattern_lock = threading.Lock()


def pattern_twice():
    """The pattern period twice over, so that any slice up to one period long is a plain slice."""
    global _pattern
    with _pattern_lock:
        if _pattern is None:
            one = bytes(((j * 2654435761) >> 13) & 0xFF for j in range(PATTERN_PERIOD))
            _pattern = one + one
        return _pattern


def pattern_slice(offset, length):
    start = offset % PATTERN_PERIOD
    return memoryview(pattern_twice())[start:start + length]


class State:
    lock = threading.Lock()
    log = []
    seq = 0
    delay_ms = 0
    jitter = (0, 0)
    static_roots = []  # (url prefix, folder), longest prefix first
    faults = {}  # path -> [kind, answers left (-1: every one)]
    stop = threading.Event()
    http_port = 0
    https_port = 0


ROUTES = {}
PREFIX_ROUTES = []


def route(path, prefix=False):
    def register(fn):
        if prefix:
            PREFIX_ROUTES.append((path, fn))
        else:
            ROUTES[path] = fn
        return fn
    return register


class RecordingReader:
    """Wraps the request stream and keeps every line read, so the header block is known exactly as sent."""

    def __init__(self, stream):
        self.stream = stream
        self.recorded = bytearray()

    def readline(self, *args):
        line = self.stream.readline(*args)
        self.recorded += line
        return line

    def read(self, *args):
        return self.stream.read(*args)

    def __getattr__(self, name):
        return getattr(self.stream, name)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        # Headers and body go out in separate writes; without this Nagle holds the body back for 40 ms.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.rfile = RecordingReader(self.rfile)

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.dispatch()

    do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = do_PATCH = do_GET

    # ---- helpers for routes ----

    def send(self, status, body=b"", headers=(), content_type="text/plain"):
        """A complete answer with Content-Length; HEAD gets the headers only."""
        if isinstance(body, str):
            body = body.encode("latin-1")
        self.send_response(status)
        if content_type is not None:
            self.send_header("Content-Type", content_type)
        for name, value in headers:
            self.send_header(name, value)
        has_body = self.command != "HEAD" and status not in (204, 304)
        if status not in (204, 304):
            self.send_header("Content-Length", str(len(body)))
        if not has_body:
            self.finish_entry()
        self.end_headers()
        if has_body:
            self.finish_entry()
            self.wfile.write(body)

    def finish_entry(self):
        """Marks the request as no longer in flight. Called before the last bytes of an answer go out, so that a
        client that has its whole answer can never see its request still counted as in flight."""
        entry = getattr(self, "entry", None)
        if entry is not None and entry["end"] is None:
            with State.lock:
                State.seq += 1
                entry["end"] = State.seq

    def redirect(self, location, status=302):
        self.send(status, "redirecting", [("Location", location)])

    # ---- request handling ----

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = bytearray()
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return bytes(body)
                body += self.rfile.read(size)
                self.rfile.readline()
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def dispatch(self):
        raw = bytes(self.rfile.recorded)
        self.rfile.recorded.clear()
        first_line_end = raw.find(b"\n") + 1
        header_block = raw[first_line_end:]
        for ending in (b"\r\n\r\n", b"\n\n"):
            if header_block.endswith(ending):
                header_block = header_block[: -len(ending)]
                break
        try:
            self.request_body = self.read_body()
        finally:
            self.rfile.recorded.clear()
        self.raw_request = raw + self.request_body
        split = urllib.parse.urlsplit(self.path)
        path = split.path
        query = {k: v[-1] for k, v in urllib.parse.parse_qs(split.query, keep_blank_values=True).items()}
        if path.startswith("/__"):
            return self.control(path, query)

        entry = {"method": self.command, "target": self.path, "headers": header_block,
                 "body": self.request_body, "secure": self.server.secure}
        with State.lock:
            State.seq += 1
            entry["start"] = State.seq
            entry["end"] = None
            State.log.append(entry)
        self.entry = entry
        try:
            self.wait_delay(query)
            if not take_fault(self, path):
                self.route(path, query)
        finally:
            self.finish_entry()
            self.entry = None

    def wait_delay(self, query):
        with State.lock:
            delay = State.delay_ms
            low, high = State.jitter
        if high > 0:
            delay += random.randint(low, high)
        if "delay" in query:
            delay += int(query["delay"])
        if delay > 0:
            State.stop.wait(delay / 1000.0)

    def route(self, path, query):
        handler = ROUTES.get(path)
        if handler is None:
            for prefix, fn in PREFIX_ROUTES:
                if path.startswith(prefix):
                    handler = fn
                    break
        if handler is None:
            handler = serve_static_or_404
        handler(self, query)

    # ---- control routes: not recorded ----

    def control(self, path, query):
        if path == "/__log":
            with State.lock:
                entries = list(State.log)
            out = bytearray()
            for e in entries:
                for field in (e["method"].encode("latin-1"), e["target"].encode("latin-1"), e["headers"], e["body"],
                              b"1" if e["secure"] else b"0"):
                    out += b"%d:" % len(field) + field + b","
            return self.send(200, bytes(out), content_type="application/octet-stream")
        if path == "/__reset":
            with State.lock:
                State.log.clear()
            return self.send(200, "ok")
        if path == "/__max":
            return self.send(200, str(max_concurrent(query.get("prefix", "/"))))
        if path == "/__delay":
            with State.lock:
                State.delay_ms = int(query.get("ms", "0"))
            return self.send(200, "ok")
        if path == "/__jitter":
            with State.lock:
                State.jitter = (int(query.get("min", "0")), int(query.get("max", "0")))
            return self.send(200, "ok")
        if path == "/__fault":
            with State.lock:
                State.faults[query["path"]] = [query["kind"], int(query.get("times", "-1"))]
            return self.send(200, "ok")
        if path == "/__faults_clear":
            with State.lock:
                State.faults.clear()
            return self.send(200, "ok")
        if path == "/__static":
            add_static_root(query["prefix"], query["dir"])
            return self.send(200, "ok")
        return self.send(404, "unknown control route")


# A busy or broken site, page by page: /__fault?path=P&kind=K&times=N makes the next N answers for path P (every
# answer when N is -1 or missing) go wrong, after which P is served as usual. Kinds:
#   status=N       status N with an error page full of Chinese text (which must never end up in a book)
#   retry-after=S  429 with "Retry-After: S" and the same error page
#   trickle        headers promising 1000 bytes, then two bytes every half second, for as long as the client stays
#   reset          headers promising 100000 bytes, 300 of them, then a TCP reset
ERROR_PAGE = ("<html><head><title>错误</title></head><body><div>" + "服务器繁忙，请稍后再试，对不起，您要访问的页面暂时无法打开。" * 8
              + "</div></body></html>").encode("gbk")


def take_fault(h, path):
    with State.lock:
        fault = State.faults.get(path)
        if fault is None or fault[1] == 0:
            return False
        if fault[1] > 0:
            fault[1] -= 1
        kind = fault[0]
    name, _, value = kind.partition("=")
    if name == "status":
        h.send(int(value), ERROR_PAGE, content_type="text/html")
    elif name == "retry-after":
        h.send(429, ERROR_PAGE, [("Retry-After", value)], content_type="text/html")
    elif name == "trickle":
        h.send_response(200)
        h.send_header("Content-Type", "text/html")
        h.send_header("Content-Length", "1000")
        h.end_headers()
        try:
            for _ in range(499):
                if State.stop.wait(0.5):
                    break
                h.wfile.write(b"<p")
                h.wfile.flush()
        except OSError:
            pass
        h.close_connection = True
    elif name == "silent":
        h.send_response(200)
        h.send_header("Content-Type", "text/html")
        h.send_header("Content-Length", "1000")
        h.end_headers()
        h.wfile.flush()
        State.stop.wait(3600)
        h.close_connection = True
    elif name == "reset":
        h.send_response(200)
        h.send_header("Content-Type", "text/html")
        h.send_header("Content-Length", "100000")
        h.end_headers()
        h.wfile.write(ERROR_PAGE[:300])
        h.wfile.flush()
        h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        h.connection.close()
        h.close_connection = True
    return True


def max_concurrent(prefix):
    """Highest number of requests under `prefix` that were in flight at the same moment."""
    events = []
    with State.lock:
        for e in State.log:
            if e["target"].startswith(prefix):
                events.append((e["start"], 1))
                events.append((e["end"] if e["end"] is not None else State.seq + 1, -1))
    events.sort()
    current = best = 0
    for _, step in events:
        current += step
        best = max(best, current)
    return best


def add_static_root(prefix, folder):
    """Serves `folder` at `prefix`, in place of what the prefix served before (a site that changed)."""
    with State.lock:
        State.static_roots = [root for root in State.static_roots if root[0] != prefix]
        State.static_roots.append((prefix, folder))
        State.static_roots.sort(key=lambda item: len(item[0]), reverse=True)


def serve_static_or_404(h, query):
    path = urllib.parse.urlsplit(h.path).path
    with State.lock:
        roots = list(State.static_roots)
    for prefix, folder in roots:
        if not path.startswith(prefix):
            continue
        rest = urllib.parse.unquote(path[len(prefix):], encoding="utf-8", errors="surrogateescape")
        parts = [p for p in rest.split("/") if p not in ("", ".")]
        if ".." in parts:
            break
        file = os.path.join(folder, *parts)
        if os.path.isdir(file):
            file = os.path.join(file, "index.html")
        if not os.path.isfile(file):
            break
        return send_file(h, file)
    h.send(404, "not found: " + path)


def gated_file(h, file):
    """A sidecar line "Unless-Cookie: name=value OTHER" serves the file OTHER of the same folder (with its own
    sidecar) to a request whose Cookie header lacks name=value: a site's browser check, a members' page."""
    sidecar = file + ".headers"
    if not os.path.isfile(sidecar):
        return file
    sent = set()
    for header in h.headers.get_all("Cookie") or []:
        sent.update(item.strip() for item in header.split(";"))
    with open(sidecar, "r", encoding="latin-1") as f:
        for line in f.read().splitlines():
            name, _, value = line.partition(":")
            if name.strip().lower() != "unless-cookie":
                continue
            cookie, other = value.split()
            if cookie not in sent:
                return os.path.join(os.path.dirname(file), other)
    return file


def send_file(h, file):
    """The file byte for byte. A sidecar FILE.headers (lines "Name: value") replaces or adds headers;
    a "Status: N" line there sets the status."""
    file = gated_file(h, file)
    with open(file, "rb") as f:
        body = f.read()
    content_type = mimetypes.guess_type(file)[0] or "application/octet-stream"
    headers = [("Content-Type", content_type)]
    status = 200
    sidecar = file + ".headers"
    if os.path.isfile(sidecar):
        with open(sidecar, "r", encoding="latin-1") as f:
            for line in f.read().splitlines():
                if ":" not in line:
                    continue
                name, value = (s.strip() for s in line.split(":", 1))
                if name.lower() == "status":
                    status = int(value)
                    continue
                if name.lower() == "unless-cookie":
                    continue
                headers = [(n, v) for n, v in headers if n.lower() != name.lower()]
                headers.append((name, value))
    h.send(status, body, headers, content_type=None)


# ---- routes ----

@route("/hello")
def hello(h, query):
    h.send(200, "hello")


@route("/echo")
def echo(h, query):
    """The request exactly as received: request line, header lines, blank line, body."""
    h.send(200, h.raw_request, content_type="application/octet-stream")


@route("/redirect/", prefix=True)
def redirect_chain(h, query):
    n = int(h.path.split("?")[0].rsplit("/", 1)[1] or "0")
    h.redirect("/redirect/%d" % (n - 1) if n > 1 else "/hello")


@route("/redirect-to")
def redirect_to(h, query):
    h.redirect(query["url"], int(query.get("status", "302")))


@route("/to-https")
def to_https(h, query):
    h.redirect("https://127.0.0.1:%d%s" % (State.https_port, query.get("path", "/hello")))


@route("/to-http")
def to_http(h, query):
    h.redirect("http://127.0.0.1:%d%s" % (State.http_port, query.get("path", "/hello")))


@route("/loop")
def loop(h, query):
    h.redirect("/loop")


@route("/status/", prefix=True)
def status(h, query):
    code = int(h.path.split("?")[0].rsplit("/", 1)[1])
    headers = [("Retry-After", query["retry-after"])] if "retry-after" in query else []
    h.send(code, "status %d body" % code, headers=headers, content_type=query.get("type", "text/plain"))


@route("/cookies/set")
def cookies_set(h, query):
    """Sets every query item as a cookie, one Set-Cookie line each."""
    h.send(200, "cookies set", [("Set-Cookie", "%s=%s; Path=/" % (k, v)) for k, v in query.items()])


@route("/cookies/mixed")
def cookies_mixed(h, query):
    """Several Set-Cookie lines with the header name in mixed letter case, with and without attributes."""
    h.send(200, "mixed cookies", [("Set-Cookie", "a=1; path=/"), ("set-cookie", "b=2"),
                                  ("SET-COOKIE", "c=3; Path=/; HttpOnly"), ("Set-cookie", "d=4")])


@route("/cookies/show")
def cookies_show(h, query):
    """The Cookie header lines received, one per line; empty when there were none."""
    h.send(200, "\n".join(h.headers.get_all("Cookie") or []))


@route("/gzip")
def gzip_body(h, query):
    h.send(200, gzip.compress(b"gzip body " * 100), [("Content-Encoding", "gzip")])


@route("/deflate")
def deflate_body(h, query):
    h.send(200, zlib.compress(b"deflate body " * 100), [("Content-Encoding", "deflate")])


@route("/big-headers")
def big_headers(h, query):
    """A response header block well over 5000 bytes, with a cookie in it."""
    headers = [("X-Filler-%02d" % i, "x" * 90) for i in range(60)]
    headers.append(("Set-Cookie", "big=1; Path=/"))
    h.send(200, "big headers body", headers)


@route("/stall")
def stall(h, query):
    """Headers and a few bytes of a longer body, then silence until the server stops."""
    h.send_response(200)
    h.send_header("Content-Type", "text/plain")
    h.send_header("Content-Length", "1000")
    h.end_headers()
    h.wfile.write(b"stalling")
    State.stop.wait(3600)
    h.close_connection = True


@route("/reset")
def reset(h, query):
    """Part of a promised body, then a TCP reset."""
    h.send_response(200)
    h.send_header("Content-Type", "application/octet-stream")
    h.send_header("Content-Length", "1000000")
    h.end_headers()
    h.wfile.write(bytes(pattern_slice(0, 5000)))
    h.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    h.connection.close()
    h.close_connection = True


@route("/bytes")
def generated_bytes(h, query):
    """`size` pattern bytes with a Content-Length, generated on the fly."""
    size = int(query.get("size", "0"))
    h.send_response(200)
    h.send_header("Content-Type", "application/octet-stream")
    h.send_header("Content-Length", str(size))
    h.end_headers()
    if h.command == "HEAD":
        return
    sent = 0
    while sent < size:
        n = min(256 * 1024, size - sent)
        if sent + n == size:
            h.finish_entry()
        h.wfile.write(pattern_slice(sent, n))
        sent += n


@route("/chunked")
def chunked(h, query):
    """`size` pattern bytes in chunked transfer encoding, chunks of uneven sizes."""
    size = int(query.get("size", "0"))
    h.send_response(200)
    h.send_header("Content-Type", "application/octet-stream")
    h.send_header("Transfer-Encoding", "chunked")
    h.end_headers()
    sizes = [1, 1000, 65536, 17, 4096, 100000, 333]
    sent = 0
    i = 0
    while sent < size:
        n = min(sizes[i % len(sizes)], size - sent)
        h.wfile.write(b"%x\r\n" % n + bytes(pattern_slice(sent, n)) + b"\r\n")
        sent += n
        i += 1
    h.finish_entry()
    h.wfile.write(b"0\r\n\r\n")


# ---- start-up ----

class Server(ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False
    request_queue_size = 256
    secure = False
    context = None

    def get_request(self):
        sock, address = super().get_request()
        if self.context is not None:
            # The handshake runs on the handler's thread at its first read, never on the accepting thread.
            sock = self.context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, address

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        if isinstance(error, (ConnectionError, ssl.SSLError, TimeoutError, BrokenPipeError)):
            return
        super().handle_error(request, client_address)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--static", action="append", default=[], metavar="PREFIX=FOLDER")
    args = parser.parse_args()
    for item in args.static:
        prefix, folder = item.split("=", 1)
        add_static_root(prefix, folder)

    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    secure.secure = True
    secure.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    secure.context.load_cert_chain(args.cert, args.key)
    State.http_port = plain.server_address[1]
    State.https_port = secure.server_address[1]
    for server in (plain, secure):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print("READY %d %d" % (State.http_port, State.https_port), flush=True)
    # The test process holds our stdin open; end of file means it has gone.
    sys.stdin.buffer.read()
    State.stop.set()
    os._exit(0)


if __name__ == "__main__":
    main()
