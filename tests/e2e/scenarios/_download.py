"""Shared pieces of the download scenarios: an installer server whose
transfer can be held midway, released or cut, the documents that lead a
remote to the offer and name that installer, and the popup states as sets
of visible controls.

The installer is the stand-in program, so the Open command visibly starts
it: it appends its command line to "<its own path>.log", i.e.
%APPDATA%\\QmxAssistant\\Temp\\setup.exe.log.
"""
import hashlib
import os
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import qmx_e2e
from qmx_e2e import offer_documents, remote, usb_path, xml_option

CUSTOMER = 7
REMOTES = [remote(usb_path("ac01"), customer=CUSTOMER)]
DESCRIPTION_PATH = "/dl/orvanteer.xml"

# Control ids of the popup.
OFFER_TEXT, SUCCESS_TEXT, FAILURE_TEXT, PROGRESS_TEXT = 19002, 19003, 19004, 19005
CLOSE, DOWNLOAD, LATER, OPEN, NEVER_ASK, PROGRESS_BAR = 20000, 20001, 20002, 20003, 20004, 20005
SWITCHED = (19002, 20001, 20004, 19005, 20005, 19003, 20003, 19004, 20002)

# Which switched controls each popup state shows.
OFFER = {OFFER_TEXT, DOWNLOAD, NEVER_ASK, LATER}
DOWNLOADING = {PROGRESS_TEXT, PROGRESS_BAR}
COMPLETED = {SUCCESS_TEXT, OPEN, LATER}
FAILED = {FAILURE_TEXT, DOWNLOAD, LATER}

HOLD_LIMIT_S = 90  # a held transfer goes on by itself after this long


class InstallerServer:
    """Serves one file at /setup.exe on a loopback port of the scenario's
    range, with an ETag, honouring "Range: bytes=N-" and "If-Range" as a
    static file server does (unless ranges=False). With hold_at (a file
    offset), a transfer that reaches it waits for release() (sends the rest)
    or cut() (closes the connection); once=True holds or cuts only the first
    transfer that gets there. Every answer is logged in `answers` as
    (status, first byte, body bytes sent, If-Range sent)."""

    def __init__(self, s, data, hold_at=None, ranges=True):
        self.data = data
        self.etag = '"v1"'
        self.ranges = ranges
        self.hold_at = hold_at
        self.once = False
        self.gets = 0
        self.answers = []
        self.held = threading.Event()     # a transfer reached hold_at
        self._go = threading.Event()
        self._cut = False
        self._lock = threading.Lock()
        owner = self

        class Handler(BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def first_byte(self):
                wanted = self.headers.get("Range", "")
                if_range = self.headers.get("If-Range")
                if not owner.ranges or not wanted.startswith("bytes=") or not wanted.endswith("-"):
                    return 0
                if if_range is not None and if_range != owner.etag:
                    return 0  # another file now: the whole of it
                try:
                    return int(wanted[len("bytes="):-1])
                except ValueError:
                    return 0

            def do_GET(self):
                with owner._lock:
                    owner.gets += 1
                if self.path.split("?")[0] != "/setup.exe":
                    self.send_response(404)
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                data = owner.data
                first = self.first_byte()
                entry = [200, first, 0, self.headers.get("If-Range")]
                owner.answers.append(entry)
                if first >= len(data) > 0:
                    entry[0] = 416
                    self.send_response(416)
                    self.send_header("Content-Range", "bytes */%d" % len(data))
                    self.send_header("Content-Length", "0")
                    self.end_headers()
                    return
                if first > 0:
                    entry[0] = 206
                    self.send_response(206)
                    self.send_header("Content-Range",
                                     "bytes %d-%d/%d" % (first, len(data) - 1, len(data)))
                else:
                    self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(len(data) - first))
                self.send_header("ETag", owner.etag)
                self.end_headers()
                try:
                    hold = owner.hold_at
                    if hold is None or hold < first:
                        self.wfile.write(data[first:])
                        entry[2] = len(data) - first
                        return
                    self.wfile.write(data[first:hold])
                    self.wfile.flush()
                    entry[2] = hold - first
                    owner.held.set()
                    if owner.once:
                        owner.hold_at = None
                    owner._go.wait(HOLD_LIMIT_S)
                    if owner.once:
                        owner.hold_at = None
                    if owner._cut:
                        self.close_connection = True
                        return
                    self.wfile.write(data[hold:])
                    self.wfile.flush()
                    entry[2] = len(data) - first
                except (BrokenPipeError, ConnectionResetError):
                    self.close_connection = True

        class Server(ThreadingHTTPServer):
            daemon_threads = True
            allow_reuse_address = True

        port = qmx_e2e._free_port(s.ports)
        self._server = Server(("127.0.0.1", port), Handler)
        self.url = "http://127.0.0.1:%d/setup.exe" % port
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()

    def release(self):
        self._go.set()

    def released(self):
        """Whether release() or cut() let the held transfers go on."""
        return self._go.is_set()

    def cut(self, once=False):
        self.once = once
        self._cut = True
        self._go.set()

    def heal(self):
        """From now on every transfer is served whole."""
        self.hold_at = None
        self._cut = False

    def answered(self, fields=2):
        """The answers so far as tuples of their first `fields` fields."""
        return [tuple(a[:fields]) for a in self.answers]

    def bytes_sent(self):
        return sum(entry[2] for entry in self.answers)

    def stop(self):
        self._go.set()
        self._server.shutdown()
        self._server.server_close()


def standin_bytes(s):
    with open(s.standin_exe, "rb") as f:
        return f.read()


def large_installer(s, mib=4):
    """The stand-in program with `mib` MiB of data behind it (it still runs),
    so that downloading it twice costs clearly more than once."""
    data = standin_bytes(s)
    return data + bytes((i * 7) & 0xFF for i in range(256)) * (mib * 4096)


def md5_hex(data):
    return hashlib.md5(data).hexdigest()


def description(download_url, md5, verson="3.2.1"):
    values = {}
    if verson is not None:
        values["Verson"] = verson
    if download_url is not None:
        values["DownLoad"] = download_url
    if md5 is not None:
        values["MD5"] = md5
    return xml_option(**values)


def serve_offer(s, description_text):
    """The customer documents leading to the offer, with the customer's
    download directory on the scenario's nginx (as an "https:" address, as the
    documents carry it), and the installer description in it."""
    url_directory = s.server.replace("http:", "https:", 1) + "/dl/"
    for path, text in offer_documents(customer=CUSTOMER, url_directory=url_directory).items():
        s.put_document(path, text)
    s.put_document(DESCRIPTION_PATH, description_text)


def serve_installer_offer(s, path):
    """serve_offer for the stand-in installer, served at URL path `path` of
    the scenario's server; returns the installer's bytes."""
    installer = standin_bytes(s)
    serve_offer(s, description(s.server + path, md5_hex(installer)))
    s.put_document(path, installer)
    return installer


def installer_path(s):
    return os.path.join(s.appdata, "QmxAssistant", "Temp", "setup.exe")


def read_installer(s):
    try:
        with open(installer_path(s), "rb") as f:
            return f.read()
    except OSError:
        return None


def shown_switched(s):
    """The switched controls whose own visible bit is set (also while the
    popup itself is hidden)."""
    controls = s.controls()
    return {i for i in SWITCHED if controls.get(i, {}).get("visible")}


def wait_state(s, expected, what, timeout=30):
    last = {}

    def reached():
        last["ids"] = shown_switched(s)
        return last["ids"] == expected
    try:
        s.wait_until(reached, what, timeout=timeout)
    except qmx_e2e.ScenarioFailure:
        s.fail("%s: shown %s, expected %s" % (what, sorted(last.get("ids", ())), sorted(expected)))


def start_with_offer(s, env=None):
    app = s.start(env=env)
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    wait_state(s, OFFER, "the offer", timeout=10)
    return app


def progress(s):
    """(bar position, progress text) as the popup shows them now."""
    controls = s.controls()
    return controls.get(PROGRESS_BAR, {}).get("pos"), controls.get(PROGRESS_TEXT, {}).get("text", "")
