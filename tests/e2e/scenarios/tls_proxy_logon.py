# HTTPS through the user's "https=" proxy that asks for the Windows logon
# (squid with Kerberos): every transfer, documents and installer, is a
# CONNECT tunnel that squid opens for alice and names her in its log. A
# tunnel the proxy refuses with 407 although the logon answered (squid
# denies alice that host) fails the download at once, with no retries, and
# a trace line naming the proxy and what it offered.
from qmx_e2e import trace_lines
import _download
import _kerberos
import _proxy

TLS = True
REMOTES = _download.REMOTES
TIMEOUT = 150

INSTALLER_PATH = "/files/setup.exe"


def run(s):
    installer = _download.serve_installer_offer(s, INSTALLER_PATH)
    md5 = _download.md5_hex(installer)
    realm = _kerberos.Realm(s)
    realm.kinit()
    squid = _kerberos.Squid(s, "negotiate", realm=realm, connect_ports=[s.port],
                            refuse_hosts=["127.0.0.1"])
    try:
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, "http=127.0.0.1:1;https=" + squid.address))
        app = _download.start_with_offer(s, env=dict({"WINEDEBUG": "-all,warn+seh"},
                                                     **realm.env()))

        s.step("a tunnel refused with 407 fails the download at once")
        refused = "https://127.0.0.1:%d%s" % (s.port, INSTALLER_PATH)
        s.put_document(_download.DESCRIPTION_PATH, _download.description(refused, md5))
        s.click(_download.DOWNLOAD)
        _download.wait_state(s, _download.FAILED, "the failed state", timeout=40)
        line = "proxy http://%s asks for a login (407) for %s, offering Negotiate; the Windows " \
               "logon did not get through: the transfer fails" % (squid.address, refused)
        s.check_eq(trace_lines(app).count(line), 1, "tries of the refused tunnel in the trace")
        tunnel = "127.0.0.1:%d" % s.port
        s.check_eq([(status, user) for method, host, status, user in squid.requests()
                    if host == tunnel], [("407", "-"), ("407", "alice@QMX.TEST")],
                   "CONNECT requests squid refused")

        s.step("the installer through a tunnel for alice")
        s.put_document(_download.DESCRIPTION_PATH,
                       _download.description(s.server + INSTALLER_PATH, md5))
        s.click(_download.DOWNLOAD)
        _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
        # The two documents, the description twice, the installer.
        s.check_eq([r for r in squid.requests() if r[2] != "407"],
                   [("CONNECT", "localhost:%d" % s.port, "200", "alice@QMX.TEST")] * 5,
                   "tunnels squid opened")
    finally:
        _proxy.clear_user_proxy(s)
        squid.stop()
