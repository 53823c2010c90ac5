# Without a key built in, Open checks the installer's MD5 again on a handle
# that keeps writers out until it has started. A verified file Windows cannot
# start (no program; a declined UAC prompt fails alike) keeps the completed
# state. Replaced or removed after the completed state, the file is not
# started: the failed state offers Download again, and a replaced file is
# deleted. The genuine file starts once: Open leaves the completed state.
import os

import _download as d
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 150
TRACE = {"WINEDEBUG": "-all,warn+seh"}


def traced(s, app, start, what):
    s.wait_until(lambda: any(l.startswith(start) for l in trace_lines(app)), what, timeout=30)


def open_fails(s, what):
    s.click(d.OPEN)
    d.wait_state(s, d.FAILED, "the failed state " + what)
    s.check(s.popup()["visible"], "popup still shown " + what)


def run(s):
    installer = d.standin_bytes(s)
    not_a_program = b"not a program\r\n" * 64
    server = d.InstallerServer(s, not_a_program)
    started = d.installer_path(s) + ".log"
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(not_a_program)))
        app = d.start_with_offer(s, env=TRACE)
        s.step("a verified file that does not start: Open stays")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.click(d.OPEN)
        traced(s, app, "open: the installer did not start", "the failed start in the trace")
        s.check(s.popup()["visible"], "popup still shown")
        d.wait_state(s, d.COMPLETED, "the completed state kept", timeout=5)

        s.step("replaced after the download: not started, deleted")
        with open(d.installer_path(s), "wb") as f:
            f.write(installer)
        open_fails(s, "for the replaced file")
        traced(s, app, "digest at open: differs", "the reason in the trace")
        s.check_eq(d.read_installer(s), None, "the replaced file")

        s.step("removed after the download: the failed state")
        server.data = installer
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state downloaded again")
        os.unlink(d.installer_path(s))
        open_fails(s, "for the removed file")

        s.step("the genuine file starts once")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state downloaded a third time")
        s.click(d.OPEN)
        s.wait_popup(visible=False, timeout=10)
        s.wait_until(lambda: os.path.exists(started), "the installer's start", timeout=30)
        d.wait_state(s, d.OFFER, "the completed state left", timeout=5)
        s.click(d.OPEN)
        traced(s, app, "open refused", "the second Open refused")
        with open(started, encoding="utf-8", errors="replace") as f:
            s.check_eq(len([l for l in f if l.strip()]), 1, "starts of the installer")
    finally:
        server.stop()
