#!/usr/bin/env python3
"""Loopback HTTP server for the transport faults a static file server cannot
produce: error pages, redirects and redirect loops, bodies without a length,
transfers cut midway, odd bodies and slow answers. It also echoes what it was
asked, so tests can see the method, the headers and the body a request carried.

    tools/fault_server.py PORT      # prints "ready" once listening; ends on SIGTERM

Paths (GET and POST alike):
    /status404            404 with an HTML body
    /redirect?to=URL      302 to URL (default /target.xml) with the body "moved"
    /target.xml           a small <Option> document (what a redirect points at)
    /loop                 302 back to /loop, forever
    /no-length?bytes=N    N bytes (default 100000), no Content-Length, closed to end
    /cut?bytes=N          announces N bytes (default 200000), sends half, closes
    /nul-first            a body whose first byte is NUL
    /big?bytes=N          N bytes (default 600000) of the repeating text a..z
    /sized?bytes=N        N bytes (default 100000) of the same text, with a length
    /slow?seconds=S       answers "slow" after S seconds (default 2, at most 10)
    /slow-redirect[/...]  after S seconds (default 8, ?seconds=S, at most 10) a 302
                          back to the same address, forever; any path below it too
    /drip[/...]           the same text with no length, 2 bytes a second (above a
                          1 byte a second stall guard) until the client goes away
                          (at most ENDLESS_SECONDS); any path below it too
    /endless[/...]        the same text with no length, sent until the client
                          goes away (at most ENDLESS_SECONDS); any path below
                          it too, so a server base address can point here
    /echo...              the request line, its header lines and the body length
    /range?first=F&last=L&complete=C   a 206 with "Content-Range: bytes F-L/C"
                          and ETag "r1", whatever was asked; the body is bytes
                          F to L of the C-byte text (defaults 0, C-1, 1000);
                          with &star=1 the range names no size ("F-L/*"), with
                          &extra=N the body runs N bytes past L
"""
import signal
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

MAX_SLOW_SECONDS = 10.0
MAX_BYTES = 64 * 1024 * 1024
ENDLESS_SECONDS = 300.0
DRIP_BYTES_PER_SECOND = 2


def pattern(count):
    """count bytes of the repeating lower-case alphabet."""
    alphabet = b"abcdefghijklmnopqrstuvwxyz"
    whole, rest = divmod(count, len(alphabet))
    return alphabet * whole + alphabet[:rest]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QmxFaultServer"

    def log_message(self, *args):
        pass

    def do_GET(self):
        self.answer()

    def do_POST(self):
        self.answer()

    # -- request body ------------------------------------------------------
    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = b""
            while True:
                size_line = self.rfile.readline(1024)
                if not size_line:
                    return body
                size = int(size_line.split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline(1024) not in (b"\r\n", b"\n", b""):
                        pass
                    return body
                body += self.rfile.read(size)
                self.rfile.readline(1024)
        length = int(self.headers.get("Content-Length", "0") or "0")
        return self.rfile.read(length) if length > 0 else b""

    # -- answers ------------------------------------------------------------
    def send(self, status, body, content_type="text/plain", extra=(), length=True):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        for name, value in extra:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def answer(self):
        # With "Expect: 100-continue" the base class has already sent the 100.
        body = self.read_body()
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)

        def number(name, default, limit=MAX_BYTES):
            try:
                return max(0, min(float(query[name][0]), limit))
            except (KeyError, ValueError):
                return default

        path = url.path
        if path == "/status404":
            self.send(404, b"<html><body><h1>404 Not Found</h1></body></html>", "text/html")
        elif path == "/redirect":
            target = query.get("to", ["/target.xml"])[0]
            self.send(302, b"moved", extra=[("Location", target)])
        elif path == "/target.xml":
            self.send(200, b"<Option><Verson>9</Verson></Option>", "text/xml")
        elif path == "/loop":
            self.send(302, b"", extra=[("Location", "/loop")])
        elif path == "/no-length":
            self.send(200, pattern(int(number("bytes", 100000))), "application/octet-stream",
                      length=False)
        elif path == "/cut":
            announced = int(number("bytes", 200000))
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(announced))
            self.end_headers()
            self.wfile.write(pattern(announced // 2))
            self.wfile.flush()
            self.close_connection = True
        elif path == "/nul-first":
            self.send(200, b"\0<Option><Verson>1</Verson></Option>", "text/xml")
        elif path == "/big":
            self.send(200, pattern(int(number("bytes", 600000))), "text/xml")
        elif path == "/sized":
            self.send(200, pattern(int(number("bytes", 100000))), "application/octet-stream")
        elif path == "/slow":
            time.sleep(number("seconds", 2.0, MAX_SLOW_SECONDS))
            self.send(200, b"slow")
        elif path == "/slow-redirect" or path.startswith("/slow-redirect/"):
            time.sleep(number("seconds", 8.0, MAX_SLOW_SECONDS))
            self.send(302, b"", extra=[("Location", self.path)])
        elif path == "/drip" or path.startswith("/drip/"):
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Connection", "close")
            self.end_headers()
            text = pattern(int(DRIP_BYTES_PER_SECOND * ENDLESS_SECONDS))
            try:
                for at in range(0, len(text), DRIP_BYTES_PER_SECOND):
                    self.wfile.write(text[at:at + DRIP_BYTES_PER_SECOND])
                    self.wfile.flush()
                    time.sleep(1.0)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif path == "/endless" or path.startswith("/endless/"):
            self.send_response(200)
            self.send_header("Content-Type", "text/xml")
            self.send_header("Connection", "close")
            self.end_headers()
            chunk = pattern(26 * 2520)  # whole alphabets, so the text runs on
            deadline = time.time() + ENDLESS_SECONDS
            try:
                while time.time() < deadline:
                    self.wfile.write(chunk)
            except (BrokenPipeError, ConnectionResetError):
                pass
            self.close_connection = True
        elif path == "/range":
            complete = int(number("complete", 1000))
            first = int(number("first", 0))
            last = int(number("last", complete - 1))
            extra = int(number("extra", 0))
            size = "*" if query.get("star") == ["1"] else str(complete)
            self.send(206, pattern(complete + extra)[first:last + 1 + extra],
                      "application/octet-stream",
                      extra=[("Content-Range", "bytes %d-%d/%s" % (first, last, size)),
                             ("ETag", '"r1"')])
        elif path.startswith("/echo"):
            lines = [self.requestline]
            lines += ["%s: %s" % (name, value) for name, value in self.headers.items()]
            lines.append("body-bytes: %d" % len(body))
            self.send(200, ("\n".join(lines) + "\n").encode("utf-8"))
        else:
            self.send(404, b"unknown fault path")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: fault_server.py PORT\n")
        return 2
    server = Server(("127.0.0.1", int(sys.argv[1])), Handler)

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    print("ready", flush=True)
    server.serve_forever()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
