# A transfer cut at 60 % resumes by itself: the popup stays in the downloading
# state with the percentage where it was, the next request asks only for the
# rest (206 from the cut, If-Range with the first answer's ETag), the file
# verifies, and the bytes sent in all stay within the size plus 1 MiB.
import _download as d
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 150
MIB = 1024 * 1024


def run(s):
    installer = d.large_installer(s)
    cut_at = len(installer) * 6 // 10
    server = d.InstallerServer(s, installer, hold_at=cut_at)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s, env={"WINEDEBUG": "-all,warn+seh"})

        s.step("cut at 60 %: still downloading, the percentage kept")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        s.wait_until(lambda: (d.progress(s)[0] or 0) >= 59, "the bar at the cut", timeout=20)
        server.cut(once=True)
        d.wait_state(s, d.DOWNLOADING, "the downloading state during the retry wait", timeout=5)
        s.check((d.progress(s)[0] or 0) >= 59, "bar after the cut: %r" % (d.progress(s),))

        s.step("resumed by itself: completed")
        d.wait_state(s, d.COMPLETED, "the completed state", timeout=60)
        s.check_eq(d.md5_hex(d.read_installer(s) or b""), d.md5_hex(installer), "the file's MD5")
        s.check_eq(server.answered(2), [(200, 0), (206, cut_at)],
                   "answers (status, first byte)")
        s.check_eq(server.answers[1][3], server.etag, "If-Range of the resume")
        s.check(server.bytes_sent() <= len(installer) + MIB,
                "bytes sent %d for a file of %d" % (server.bytes_sent(), len(installer)))
        s.check_eq([l for l in trace_lines(app) if l.startswith("resume")],
                   ["resume at byte %d: status 206, retry 1" % cut_at], "the resume trace line")
    finally:
        server.stop()
