# A download that ends while an arrival waits for a slow customer document:
# the arrival puts the offer back, and the download's end is shown after it,
# so Open is there for the installer just verified (as when the arrival held
# the popup's thread for its whole fetch).
import os
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120
LATE_S = 8  # past the quiet start, within the fetch's bound


def late_server(s):
    """Answers every document POST with the served file, LATE_S late."""
    docroot = s.docroot

    class Late(BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_POST(self):
            self.rfile.read(int(self.headers.get("Content-Length") or 0))
            time.sleep(LATE_S)
            with open(os.path.join(docroot, self.path.lstrip("/")), "rb") as f:
                body = f.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

    server = ThreadingHTTPServer(("127.0.0.1", s.free_port()), Late)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    late = late_server(s)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")

        s.step("an arrival waits for its customer document; the download ends meanwhile")
        s.set_remotes(REMOTES, server="http://127.0.0.1:%d" % late.server_address[1])
        arrival = s.arrival(background=True)
        time.sleep(3)
        server.release()
        s.wait_until(lambda: arrival.poll() is not None, "the arrival to end", timeout=40)
        d.wait_state(s, d.COMPLETED, "the completed state after the arrival's offer")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        late.shutdown()
        server.stop()
