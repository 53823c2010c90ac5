# A description that publishes the installer's digest in upper case: the
# comparison is exact, so the download ends in the failed state with the file
# left in place. An Open command posted by another program (WM_COMMAND 20003,
# as any process on the desktop can) starts nothing, neither while the
# transfer runs nor after the failed digest. Once the server publishes the
# lower-case digest, Download (shown again in the failed state) starts a
# fresh run that completes.
import os

import _download as d
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 120
TRACE = {"WINEDEBUG": "-all,warn+seh"}
REFUSED = "open refused: no verified download to start"


def posted_open_refused(s, app, state, what):
    """Posts the Open command and sees it refused: the popup keeps `state`
    and the installer (the stand-in, which logs each start) never runs."""
    before = trace_lines(app).count(REFUSED)
    s.command(d.OPEN)
    s.wait_until(lambda: trace_lines(app).count(REFUSED) > before, "the refusal " + what,
                 timeout=10)
    s.check(s.popup()["visible"], "popup still shown " + what)
    d.wait_state(s, state, "the state " + what, timeout=5)
    s.check(not os.path.exists(d.installer_path(s) + ".log"), "the installer started " + what)


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    server.once = True
    try:
        digest = d.md5_hex(installer)
        d.serve_offer(s, d.description(server.url, digest.upper()))
        app = d.start_with_offer(s, env=TRACE)

        s.step("a posted Open during the transfer starts nothing")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state", timeout=10)
        posted_open_refused(s, app, d.DOWNLOADING, "during the transfer")

        s.step("upper-case digest: failed")
        server.release()
        d.wait_state(s, d.FAILED, "the failed state")
        s.check_eq(server.gets, 1, "installer requests")
        s.check_eq(d.read_installer(s), installer, "the file stays after a digest mismatch")
        s.shot("failed")

        s.step("a posted Open after the failed digest starts nothing")
        posted_open_refused(s, app, d.FAILED, "after the failed digest")

        s.step("lower-case digest: Download again completes")
        d.serve_offer(s, d.description(server.url, digest))
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.gets, 2, "installer requests")
        s.check_eq(len(s.requests_for(d.DESCRIPTION_PATH)), 2, "orvanteer.xml fetched once per run")
    finally:
        server.stop()
