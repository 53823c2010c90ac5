# With the maker's key built in, a signed installer: the download completes
# after the signature checks out, and Open starts the installer with
# "-qmx_normal" while the assistant holds the file against writers. The
# support trace names both signature verdicts.
import _download as d
import _signing as sig
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 120


def run(s):
    maker = sig.Maker(s)
    s.set_signing_key(maker.public)
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer)
    try:
        d.serve_offer(s, sig.signed_description(maker, server.url, installer))
        app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        d.wait_state(s, d.OFFER, "the offer", timeout=10)

        s.step("a signed installer completes")
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")
        s.check_eq(d.read_installer(s), installer, "the installer file")

        s.step("Open starts it with -qmx_normal")
        s.click(d.OPEN)
        s.wait_popup(visible=False, timeout=10)
        line = s.wait_until(lambda: (sig.started_log(s) or "").strip(),
                            "the installer's command line", timeout=30)
        s.check("-qmx_normal" in line, "installer command line: %r" % line)
        s.check(app.running(), "the assistant keeps running")
        lines = trace_lines(app)
        for wanted in ("signature at download: verified", "signature at open: verified"):
            s.check(wanted in lines, "trace line %r in %r" % (wanted, lines))
    finally:
        server.stop()
