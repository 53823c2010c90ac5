# With the maker's key built in, the server hands out another program with
# its matching MD5 (as anyone on the path could) while the description still
# carries the maker's signature of the real installer: the download ends in
# the failed state, Open is never offered, and nothing is started. A
# signature the maker never made (of the other program, under another key)
# fails the same way. Once the genuine installer is served, the one start
# that follows is the only start the installer ever saw.
import _download as d
import _signing as sig

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    maker = sig.Maker(s)
    stranger = sig.Maker(s, "stranger")
    s.set_signing_key(maker.public)
    genuine = d.standin_bytes(s)
    # Another program: the stand-in with bytes appended still starts and logs.
    other = genuine + b"\0not from the maker"
    server = d.InstallerServer(s, other)
    try:
        # MD5 of the served file, the maker's signature of the genuine one.
        d.serve_offer(s, sig.signed_description(maker, server.url, other,
                                                signature=maker.sign(genuine)))
        d.start_with_offer(s)

        s.step("swapped installer with a matching MD5: failed")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.FAILED, "the failed state")
        s.check_eq(server.gets, 1, "installer requests")
        s.check_eq(d.read_installer(s), other, "the swapped file arrived")

        s.step("signed with another key: failed again")
        d.serve_offer(s, sig.signed_description(stranger, server.url, other))
        s.click(d.DOWNLOAD)
        s.wait_until(lambda: server.gets == 2, "the second transfer", timeout=30)
        d.wait_state(s, d.FAILED, "the failed state")
        s.shot("failed")

        s.check_eq(sig.started_log(s), None, "the installer's log")

        s.step("the genuine installer: completed, and Open starts it once")
        server.data = genuine
        d.serve_offer(s, sig.signed_description(maker, server.url, genuine))
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        sig.open_once(s)
    finally:
        server.stop()
