# An installer transfer that stalls (the server sends 100 kB, then nothing,
# with the connection kept open) ends after a minute without data: the popup
# shows the failed state, the partial file stays, and Download then completes
# against a server that answers.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 200
STALL_AT = 100 * 1024
STALL_BOUND_S = 120  # the transfer gives up after 60 s without data


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=STALL_AT)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("the transfer stalls after 100 kB")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state", timeout=10)
        d.wait_state(s, d.FAILED, "the failed state after the stall", timeout=STALL_BOUND_S)
        s.check(not server.released(), "the server still held the connection")
        partial = d.read_installer(s)
        s.check_eq(len(partial or b""), STALL_AT, "bytes of the partial file")

        s.step("Download again, the server answers: completed")
        server.hold_at = None
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
