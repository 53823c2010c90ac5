# A proxy that lets through only users it knows (squid, the user's manual
# proxy) is answered with the Windows logon, with no prompt: first with
# Kerberos (Negotiate, a realm of the scenario's own), then with NTLM only.
# Each takes the same road: with no logon to answer (no ticket; no NTLM
# identity) the start-up load fails cleanly, with a trace line naming the
# proxy and what it offered; once the user has one (kinit; a stored
# credential) the next arrival brings the offer, the installer comes through
# the proxy too, and squid's log names the user for every request it let
# through.
from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, trace_lines
import _download
import _kerberos
import _proxy

REMOTES = _download.REMOTES
TIMEOUT = 240

INSTALLER_PATH = "/files/setup.exe"
TRACE = {"WINEDEBUG": "-all,warn+seh"}


def logon_road(s, squid, env, offers, grant, user):
    _proxy.set_user_proxy(s, _proxy.connection_settings(
        _proxy.DIRECT | _proxy.MANUAL_PROXY, squid.address))
    app = s.start(env=dict(TRACE, **env))
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    refused = "proxy http://%s asks for a login (407) for %s, offering %s; the Windows logon " \
              "did not get through: the transfer fails" % (squid.address,
                                                           s.server + CUSTOMERSETTING_PATH, offers)
    s.wait_until(lambda: refused in trace_lines(app), "the trace line %r" % refused, timeout=20)
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check_eq([r for r in squid.requests() if r[2] != "407"], [], "requests let through")

    s.step("the user gets a logon: an arrival brings the offer, the installer follows")
    grant()
    s.arrival()
    s.wait_popup(visible=True, timeout=10)
    _download.wait_state(s, _download.OFFER, "the offer", timeout=10)
    s.click(_download.DOWNLOAD)
    _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
    through = [(method, url, by) for method, url, status, by in squid.requests()
               if status != "407"]
    documents = [CUSTOMERSETTING_PATH, customer_path(7), _download.DESCRIPTION_PATH]
    s.check_eq(through, [("POST", s.server + path, user) for path in documents]
               + [("GET", s.server + INSTALLER_PATH, user)], "requests squid let through")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")
    return app


def run(s):
    installer = _download.serve_installer_offer(s, INSTALLER_PATH)
    realm = _kerberos.Realm(s)
    squid = _kerberos.Squid(s, "negotiate", realm=realm)
    try:
        s.step("Negotiate: no ticket at start-up")
        logon_road(s, squid, realm.env(), "Negotiate", realm.kinit,
                   "%s@%s" % (_kerberos.USER, _kerberos.REALM))
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
        s.check(realm.service_tickets() >= 1, "the KDC issued no ticket for the proxy")
    finally:
        _proxy.clear_user_proxy(s)
        squid.stop()

    # A proxy that offers only NTLM; with no domain here, Wine's NTLM answers
    # with a credential stored for the proxy's host.
    squid = _kerberos.Squid(s, "ntlm")
    try:
        s.step("NTLM: no identity at start-up")
        _kerberos.remove_credential(s)
        logon_road(s, squid, {}, "NTLM", lambda: _kerberos.store_credential(s),
                   "%s\\%s" % (_kerberos.NTLM_DOMAIN, _kerberos.USER))
    finally:
        _kerberos.remove_credential(s)
        _proxy.clear_user_proxy(s)
        squid.stop()
