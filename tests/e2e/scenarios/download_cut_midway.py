# A transfer cut midway and then on every automatic retry (three, after 2, 4
# and 8 s): the failed state comes once the retries are spent, and the bytes
# received so far stay at the installer path. Download then resumes them
# (206 from the cut) and completes.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 150


def run(s):
    installer = d.large_installer(s)
    half = len(installer) // 2
    server = d.InstallerServer(s, installer, hold_at=half)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("cut at half, and on each retry: failed")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        started = time.time()
        server.cut()
        d.wait_state(s, d.FAILED, "the failed state", timeout=60)
        waited = time.time() - started
        s.check(waited >= 13, "the retries took %.1f s (2 + 4 + 8)" % waited)
        s.check_eq(server.answered(2), [(200, 0)] + [(206, half)] * 3,
                   "answers (status, first byte)")
        s.check_eq(d.read_installer(s), installer[:half], "the partial file")

        s.step("Download resumes and completes")
        server.heal()
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.answered(2)[-1], (206, half), "the last answer")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
