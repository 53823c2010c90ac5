# The file changes on the server between the cut and the resume (another
# ETag): the resume's If-Range no longer matches, the server sends the new
# file whole and it is never spliced onto the old bytes. The run still
# checks against the description it started with, so it fails; once the new
# description is published, Download completes against it.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 150


def run(s):
    old = d.large_installer(s)
    new = d.large_installer(s, mib=5)
    cut_at = len(old) * 6 // 10
    server = d.InstallerServer(s, old, hold_at=cut_at)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(old)))
        d.start_with_offer(s)

        s.step("cut at 60 %, then the server has another file")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        server.data, server.etag = new, '"v2"'
        server.cut(once=True)
        d.wait_state(s, d.FAILED, "the failed state (digest of the old description)", timeout=60)
        s.check_eq([(a[0], a[1], a[3]) for a in server.answers],
                   [(200, 0, None), (200, 0, '"v1"')],
                   "answers (status, first byte, If-Range)")
        s.check_eq(d.read_installer(s), new, "the new file, whole")

        s.step("the new description: Download completes")
        d.serve_offer(s, d.description(server.url, d.md5_hex(new)))
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.answered(2)[-1], (200, 0), "the last answer")
        s.check_eq(d.read_installer(s), new, "the installer file")
    finally:
        server.stop()
