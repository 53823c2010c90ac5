# Building a certificate's chain may fetch issuer certificates and revocation
# data from the addresses the certificate names, inside the check where no
# transfer time limit reaches. With a certificate whose issuer (AIA), OCSP
# and revocation-list addresses lead to a server that accepts and never
# answers, an arrival's settings retry still ends within its bound, and the
# check, unable to learn the revocation state, lets the offer come.
import socket
import threading

import _download as d
from qmx_e2e import offer_documents

TLS = True
REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 150

BOUND_S = 35  # the retry's 20 s, the arrival's own waits and the probe's start-up


def run(s):
    # A loopback server that accepts every connection and never answers.
    silent = socket.socket()
    silent.bind(("127.0.0.1", s.free_port()))
    silent.listen(16)
    accepted = []

    def accept():
        while True:
            try:
                accepted.append(silent.accept()[0])
            except OSError:
                return
    threading.Thread(target=accept, daemon=True).start()
    try:
        base = "http://127.0.0.1:%d" % silent.getsockname()[1]
        s.serve_certificate(s.authority.server("fetching", extensions=[
            "authorityInfoAccess = caIssuers;URI:%s/ca.der,OCSP;URI:%s/ocsp" % (base, base),
            "crlDistributionPoints = URI:%s/ca.crl" % base]))
        unreachable = s.server.rsplit(":", 1)[0] + ":%d" % s.free_port()
        s.set_remotes(REMOTES, server=unreachable)
        app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.check_eq(s.popup()["visible"], False, "popup visible")

        s.step("an arrival's retry against a chain whose fetches never answer")
        s.set_remotes(REMOTES, server=s.server)
        s.arrival_hold(BOUND_S)
        s.check(accepted, "the chain's addresses were asked")
        d.wait_state(s, d.OFFER, "the offer", timeout=10)
    finally:
        silent.close()
        for conn in accepted:
            conn.close()
