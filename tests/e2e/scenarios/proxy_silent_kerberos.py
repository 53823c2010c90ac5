# A proxy that asks for the Windows logon (Negotiate) while the realm's three
# Kerberos servers take connections and never answer: the logon waits inside
# SSPI, where no transfer limit reaches, about 25 s for each server. When the
# remote is plugged in again after Later, the popup's thread keeps answering
# and gives the fetch up at its bound; without the proxy the next arrival
# brings the offer, and the program ends cleanly while the logon still hangs.
import socket

import _answering
import _download as d
import _kerberos
import _proxy
from qmx_e2e import offer_documents

REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 200
GIVEN_UP = "no answer within 25 s, the fetch counts as failed"


def silent_realm(realm, kdcs):
    """realm's env, its KDCs being `kdcs` (listening, never accepting), over
    TCP so that no refused UDP datagram ends the wait."""
    conf = realm.conf + ".silent"
    with open(realm.conf) as f:
        text = f.read().replace("[libdefaults]\n", "[libdefaults]\n udp_preference_limit = 1\n")
    with open(conf, "w") as f:
        f.write(text.replace("  kdc = 127.0.0.1:%d\n" % realm.port, "".join(
            "  kdc = 127.0.0.1:%d\n" % kdc.getsockname()[1] for kdc in kdcs)))
    return dict(realm.env(), KRB5_CONFIG=conf)


def run(s):
    realm = _kerberos.Realm(s)
    realm.kinit()  # a ticket to the realm; the proxy's is still to get
    squid = _kerberos.Squid(s, "negotiate", realm=realm)
    kdcs = [socket.create_server(("127.0.0.1", s.free_port())) for _ in range(3)]
    try:
        app = _answering.offer_then_later(s, silent_realm(realm, kdcs))
        s.step("plugged in again behind the proxy: the logon hangs")
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, squid.address))
        _answering.arrival_answered(s, app)
        s.check_eq(_answering.count(app, GIVEN_UP), 1, "trace lines of a fetch given up")

        s.step("without the proxy the next arrival brings the offer")
        _proxy.clear_user_proxy(s)
        s.arrival()
        d.wait_state(s, d.OFFER, "the offer", timeout=10)
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after close")
    finally:
        _proxy.clear_user_proxy(s)
        squid.stop()
        for kdc in kdcs:
            kdc.close()
