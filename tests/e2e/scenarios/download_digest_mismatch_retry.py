# A description that publishes the installer's digest in upper case: the
# comparison is exact, so the download ends in the failed state with the file
# left in place. Once the server publishes the lower-case digest, Download
# (shown again in the failed state) starts a fresh run that completes.
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer)
    try:
        digest = d.md5_hex(installer)
        d.serve_offer(s, d.description(server.url, digest.upper()))
        d.start_with_offer(s)

        s.step("upper-case digest: failed")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.FAILED, "the failed state")
        s.check_eq(server.gets, 1, "installer requests")
        s.check_eq(d.read_installer(s), installer, "the file stays after a digest mismatch")
        s.shot("failed")

        s.step("lower-case digest: Download again completes")
        d.serve_offer(s, d.description(server.url, digest))
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(server.gets, 2, "installer requests")
        s.check_eq(len(s.requests_for(d.DESCRIPTION_PATH)), 2, "orvanteer.xml fetched once per run")
    finally:
        server.stop()
