# A transfer that breaks off midway (the server announces the whole length,
# sends half and closes): the failed state, the partial file stays at the
# installer path, and a later Download against an intact server completes and
# overwrites it.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    installer = d.standin_bytes(s)
    half = len(installer) // 2
    server = d.InstallerServer(s, installer, hold_at=half)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("the transfer is cut at half: failed")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        server.cut()
        d.wait_state(s, d.FAILED, "the failed state")
        partial = d.read_installer(s)
        s.check(partial is not None, "the partial file remains")
        s.check_eq(len(partial), half, "bytes of the partial file")
        s.check_eq(partial, installer[:half], "content of the partial file")

        s.step("Download again against an intact server completes")
        whole = d.InstallerServer(s, installer)
        try:
            d.serve_offer(s, d.description(whole.url, d.md5_hex(installer)))
            s.click(d.DOWNLOAD)
            d.wait_state(s, d.COMPLETED, "the completed state")
            s.check_eq(d.read_installer(s), installer, "the installer file")
        finally:
            whole.stop()
    finally:
        server.stop()
