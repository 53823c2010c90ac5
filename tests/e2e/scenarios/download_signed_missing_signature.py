# With the maker's key built in, an installer description without Signature
# (the maker forgot to sign): the download ends in the failed state even
# though the MD5 matches, and Open is not offered.
import _download as d
import _signing as sig

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    maker = sig.Maker(s)
    s.set_signing_key(maker.public)
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        d.start_with_offer(s)

        s.step("no Signature: failed")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.FAILED, "the failed state")
        s.check_eq(d.read_installer(s), installer, "the file arrived and the MD5 matches")
        s.check_eq(sig.started_log(s), None, "the installer's log")
    finally:
        server.stop()
