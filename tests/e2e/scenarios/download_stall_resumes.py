# An installer transfer that stalls (the server sends 100 kB, then nothing,
# with the connection kept open) is ended after a minute without data and
# resumed by itself from the 100 kB. The retry stalls too: bytes already
# flowed in this run, so it is ended after 15 s rather than another minute
# (a server stalling every time fails the run in about two minutes). The
# third try completes; the popup stays in the downloading state until then.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 200
STALL_AT = 100 * 1024
STALL_BOUND_S = 120  # the first try gives up after 60 s without data
RETRY_BOUND_S = 35   # the retry's 15 s, the 4 s wait before the next, Wine's slack


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=STALL_AT)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("the transfer stalls after 100 kB, then resumes")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state", timeout=10)
        s.wait_until(lambda: len(server.answers) == 2, "the resume", timeout=STALL_BOUND_S)
        resumed = time.monotonic()
        server.heal()  # the resume is held as well; the next try is served whole

        s.step("the resume stalls too and is ended sooner; the next try completes")
        s.wait_until(lambda: len(server.answers) == 3, "the second resume", timeout=RETRY_BOUND_S)
        s.log("the stalled resume was ended after %.1f s" % (time.monotonic() - resumed))
        s.check(not server.released(), "the server still held the first connections")
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.answered(3), [(200, 0, STALL_AT), (206, STALL_AT, 0),
                                        (206, STALL_AT, len(installer) - STALL_AT)],
                   "answers (status, first byte, bytes sent)")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
