# HTTPS through the user's manual proxy: with a per-scheme list, the
# "https=" entry serves the "https:" addresses (the "http=" entry names a
# port where nothing listens), and every transfer, documents and installer,
# goes through it as a CONNECT tunnel to the server, whose certificate is
# still checked at the far end.
import _download
import _proxy
from qmx_e2e import trace_lines

TLS = True
REMOTES = _download.REMOTES
TIMEOUT = 120

INSTALLER_PATH = "/files/setup.exe"


def run(s):
    installer = _download.serve_installer_offer(s, INSTALLER_PATH)
    proxy = _proxy.Proxy(s, connect_ports=[s.port])
    try:
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, "http=127.0.0.1:1;https=" + proxy.address))
        app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        _download.wait_state(s, _download.OFFER, "the offer", timeout=10)
        s.click(_download.DOWNLOAD)
        _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")

        s.step("what went through the proxy")
        tunnel = ("CONNECT", "localhost:%d" % s.port)
        s.check_eq(proxy.requests(), [tunnel] * 4, "requests the proxy saw")
        verified = [line for line in trace_lines(app) if line.startswith("TLS: localhost verified")]
        s.check_eq(len(verified), 4, "TLS connections verified")
    finally:
        _proxy.clear_user_proxy(s)
        proxy.stop()
