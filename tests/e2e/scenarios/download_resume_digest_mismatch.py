# A server that sends other bytes behind the same ETag: the resumed file does
# not match the published MD5. The failed state comes, the file is deleted
# (it is never resumed onto), and the next Download fetches it whole.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 150


def run(s):
    installer = d.large_installer(s)
    cut_at = len(installer) * 6 // 10
    server = d.InstallerServer(s, installer, hold_at=cut_at)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("cut at 60 %, the rest is resumed from a lying server")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        server.data = installer[:cut_at] + bytes(len(installer) - cut_at)
        server.cut(once=True)
        d.wait_state(s, d.FAILED, "the failed state", timeout=60)
        s.check_eq(server.answered(2), [(200, 0), (206, cut_at)],
                   "answers (status, first byte)")
        s.check(d.read_installer(s) is None, "the resumed file is gone")

        s.step("Download again: the whole file, completed")
        server.data = installer
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.answered(3)[-1], (200, 0, len(installer)), "the last answer")
        s.check_eq(d.read_installer(s), installer, "the installer file")
    finally:
        server.stop()
