# An installer that verifies but cannot be started (here a file that is no
# program; a declined UAC prompt fails the same way): Open says so in the
# trace and keeps the completed state on a shown popup, so that Open can be
# pressed again; it is not reported as started.
import _download as d
from qmx_e2e import trace_lines

REMOTES = d.REMOTES
TIMEOUT = 90
TRACE = {"WINEDEBUG": "-all,warn+seh"}
NOT_STARTED = "open: the installer did not start"


def run(s):
    installer = b"not a program\r\n" * 64
    server = d.InstallerServer(s, installer)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s, env=TRACE)
        s.click(d.DOWNLOAD)
        d.wait_state(s, d.COMPLETED, "the completed state")

        for press in ("first", "second"):
            s.step("Open pressed a %s time: nothing starts, Open stays" % press)
            before = sum(l.startswith(NOT_STARTED) for l in trace_lines(app))
            s.click(d.OPEN)
            s.wait_until(lambda: sum(l.startswith(NOT_STARTED) for l in trace_lines(app)) > before,
                         "the failed start in the trace", timeout=30)
            s.check(s.popup()["visible"], "popup still shown")
            d.wait_state(s, d.COMPLETED, "the completed state kept", timeout=5)
        s.log([l for l in trace_lines(app) if l.startswith("open")])
        s.check_eq(d.read_installer(s), installer, "the verified file stays")
    finally:
        server.stop()
