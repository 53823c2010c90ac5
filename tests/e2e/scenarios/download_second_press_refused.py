# A device arrival during a transfer puts the offer back (Download shown
# again). Pressing Download then shows the downloading state but starts no
# second transfer: only one worker ever writes the installer file, and the
# running one ends the road with the completed state and an intact file.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("Download, then an arrival re-applies the offer")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        s.arrival()
        d.wait_state(s, d.OFFER, "the offer over the running transfer", timeout=20)

        s.step("a second Download is refused")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        time.sleep(2)
        s.check_eq(server.gets, 1, "installer requests")
        s.check_eq(len(s.requests_for(d.DESCRIPTION_PATH)), 1, "orvanteer.xml requests")

        s.step("the running transfer ends the road")
        server.release()
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the installer file")
        s.check_eq(server.gets, 1, "installer requests")
    finally:
        server.stop()
