# A TLS build trusts a server only as the desk's certificate store vouches
# for it: a certificate from an authority the prefix does not trust, one for
# another host name and an expired one each fail the document fetch before
# any request is sent (no offer), with a trace line naming why, at start-up.
# Once the server shows a good certificate, the next arrival brings the offer.
import os

import tls_certs
import _download
from qmx_e2e import CUSTOMERSETTING_PATH, offer_documents, trace_lines

TLS = True
REMOTES = _download.REMOTES
SERVER = offer_documents(customer=_download.CUSTOMER)
TIMEOUT = 150

REFUSED = [
    ("an authority nobody trusts", "untrusted",
     "certificate issued by an authority this desk does not trust"),
    ("a certificate for another name", "other", "certificate is for another host name"),
    ("an expired certificate", "expired", "certificate expired or not yet valid"),
]


def run(s):
    rogue = tls_certs.Authority(os.path.join(s.work, "rogue"), "Unknown Authority")
    certificates = {"untrusted": rogue.server("untrusted"),
                    "other": s.authority.server("other", host="elsewhere.example"),
                    "expired": s.authority.server("expired", expired=True)}
    app = None
    for what, label, reason in REFUSED:
        s.step(what)
        s.serve_certificate(certificates[label])
        # Each certificate meets a start-up load: an arrival retries the
        # settings at most once a minute.
        if app is not None:
            s.probe("close")
            s.check_eq(s.wait_exit(app), 0, "exit code after close")
        app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        expected = "TLS: localhost refused: " + reason
        s.wait_until(lambda: expected in trace_lines(app), "the trace line %r" % expected,
                     timeout=20)
        s.check_eq(s.popup()["visible"], False, "popup visible")
        s.check_eq(s.requests_for(CUSTOMERSETTING_PATH), [], "requests nginx answered")

    s.step("a good certificate: the next arrival brings the offer")
    s.serve_certificate(s.authority.server("good"))
    s.arrival()
    _download.wait_state(s, _download.OFFER, "the offer", timeout=10)
