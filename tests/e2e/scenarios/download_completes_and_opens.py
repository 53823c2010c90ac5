# The road of one offer to its end: Download fetches the installer
# description by POST from the customer's directory, shows the downloading
# state, moves the progress bar and its percentage while the installer
# arrives, checks the digest and shows the completed state; Open starts the
# installer with "-qmx_normal" and hides the popup, and the program stays.
import os
import re

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s)

        s.step("Download shows the downloading state")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        descr = s.requests_for(d.DESCRIPTION_PATH)
        s.check_eq([(r["method"], r["status"]) for r in descr], [("POST", 200)],
                   "requests of orvanteer.xml")

        s.step("progress moves while the transfer is held at half")
        pct_text = re.compile(r" (\d+)%$")

        def halfway():
            pos, text = d.progress(s)
            m = pct_text.search(text)
            return pos is not None and 0 < pos < 100 and m and int(m.group(1)) == pos and (pos, text)
        pos, text = s.wait_until(halfway, "a percentage between 0 and 100", timeout=20)
        s.log("held at %d%%: %r" % (pos, text))
        s.check(45 <= pos <= 55, "bar near half of the file: %d" % pos)
        s.shot("held-at-half")

        s.step("the rest arrives: completed state")
        server.release()
        d.wait_state(s, d.COMPLETED, "the completed state")
        pos, text = d.progress(s)
        s.check_eq(pos, 100, "bar position at the end")
        s.check(text.endswith(" 100%"), "progress text at the end: %r" % text)
        s.check_eq(d.read_installer(s), installer, "the installer file")
        s.check_eq(server.gets, 1, "installer requests")
        s.check(s.popup()["visible"], "popup still shown")
        s.shot("completed")

        s.step("Open starts the installer and hides the popup")
        log = d.installer_path(s) + ".log"
        s.click(d.OPEN)
        s.wait_popup(visible=False, timeout=10)
        line = s.wait_until(lambda: os.path.exists(log) and open(log, encoding="utf-8").read().strip(),
                            "the installer's command line", timeout=30)
        s.check("-qmx_normal" in line, "installer command line: %r" % line)
        s.check(app.running(), "the assistant keeps running")
    finally:
        server.stop()
