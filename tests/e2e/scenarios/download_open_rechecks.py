# Without a key built in, Open checks the installer's MD5 again, on a handle
# that keeps writers out until the installer has started. Replaced by
# another program after the completed state, the file is not started: it is
# deleted and the failed state offers Download again, with the reason in the
# trace. Removed after the completed state, it gives the failed state too.
# The genuine file starts once: Open hides the popup and leaves the
# completed state, so a second Open finds nothing to start.
import os

import _download as d
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 150
TRACE = {"WINEDEBUG": "-all,warn+seh"}
REFUSED = "open refused: no verified download to start"


def completed(s, what):
    s.click(d.DOWNLOAD)
    d.wait_state(s, d.COMPLETED, "the completed state " + what)


def open_fails(s, what):
    s.click(d.OPEN)
    d.wait_state(s, d.FAILED, "the failed state " + what)
    s.check(s.popup()["visible"], "popup still shown " + what)


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer)
    started = d.installer_path(s) + ".log"
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s, env=TRACE)

        s.step("replaced after the download: not started, deleted")
        completed(s, "of the first download")
        with open(d.installer_path(s), "wb") as f:
            f.write(installer + b"\0replaced after the download")
        open_fails(s, "for the replaced file")
        s.wait_until(lambda: d.read_installer(s) is None, "the replaced file to go", timeout=10)
        s.check(any(l.startswith("digest at open: differs") for l in trace_lines(app)),
                "the trace says why")
        s.shot("replaced-refused")

        s.step("removed after the download: the failed state")
        completed(s, "downloaded again")
        os.unlink(d.installer_path(s))
        open_fails(s, "for the removed file")
        s.check(not os.path.exists(started), "nothing was started so far")

        s.step("the genuine file starts once")
        completed(s, "downloaded a third time")
        s.click(d.OPEN)
        s.wait_popup(visible=False, timeout=10)
        s.wait_until(lambda: os.path.exists(started), "the installer's start", timeout=30)
        d.wait_state(s, d.OFFER, "the completed state left", timeout=5)
        s.click(d.OPEN)
        s.wait_until(lambda: REFUSED in trace_lines(app), "the second Open refused", timeout=10)
        with open(started, encoding="utf-8", errors="replace") as f:
            s.check_eq(len([l for l in f if l.strip()]), 1, "starts of the installer")
    finally:
        server.stop()
