# The server cannot be reached when the assistant starts (as at logon, before
# the network is up): no offer, the assistant waits hidden. Once the server
# answers, the next arrival loads the customer settings and brings the
# offer; a later arrival does not load them again.
import socket

import _download as d
from qmx_e2e import CUSTOMERSETTING_PATH, offer_documents

REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 120


def run(s):
    # A loopback port with nothing behind it: the connection is refused.
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        unreachable = "http://127.0.0.1:%d" % sock.getsockname()[1]
    s.set_remotes(REMOTES, server=unreachable)
    app = s.start()
    s.step("start-up without a network: no offer")
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.check_eq(s.popup()["visible"], False, "popup visible")

    s.step("the network is up; an arrival brings the offer")
    s.set_remotes(REMOTES)
    s.arrival()
    s.wait_popup(visible=True, timeout=10)
    d.wait_state(s, d.OFFER, "the offer", timeout=10)
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customer-settings loads")

    s.step("a later arrival keeps the loaded settings")
    s.arrival()
    s.check(s.responsive(), "the popup's thread answers after the arrival")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customer-settings loads")
