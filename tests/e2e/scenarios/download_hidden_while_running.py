# Closing the popup during a download does not stop it: the transfer goes on,
# and the worker applies the completed state to the hidden popup, which keeps
# it; the program keeps running.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s)

        s.step("close the popup while the transfer is held")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        s.click(d.CLOSE)
        s.wait_popup(visible=False, timeout=10)

        s.step("the transfer ends: completed state on the hidden popup")
        server.release()
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the installer file")
        time.sleep(1)
        s.check(not s.popup()["visible"], "the popup stays hidden")
        s.check(app.running(), "the assistant keeps running")
    finally:
        server.stop()
