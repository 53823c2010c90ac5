# A server that ignores Range answers the resume with the whole file (200):
# the transfer starts over in an emptied file and completes.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 150


def run(s):
    installer = d.large_installer(s)
    cut_at = len(installer) * 6 // 10
    server = d.InstallerServer(s, installer, hold_at=cut_at, ranges=False)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("cut at 60 %, the retry gets the whole file")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        server.cut(once=True)
        d.wait_state(s, d.COMPLETED, "the completed state", timeout=60)
        s.check_eq(server.answered(3), [(200, 0, cut_at), (200, 0, len(installer))],
                   "answers (status, first byte, bytes)")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
