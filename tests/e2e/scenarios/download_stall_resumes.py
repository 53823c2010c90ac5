# An installer transfer that stalls (the server sends 100 kB, then nothing,
# with the connection kept open) is ended after a minute without data and
# resumed by itself from the 100 kB: the popup stays in the downloading state
# and ends completed.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 200
STALL_AT = 100 * 1024
STALL_BOUND_S = 120  # the transfer gives up after 60 s without data


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=STALL_AT)
    server.once = True
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("the transfer stalls after 100 kB, then resumes")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state", timeout=10)
        s.wait_until(lambda: len(server.answers) == 2, "the resume", timeout=STALL_BOUND_S)
        s.check(not server.released(), "the server still held the first connection")
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.answered(2), [(200, 0), (206, STALL_AT)],
                   "answers (status, first byte)")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
