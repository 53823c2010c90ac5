# The customer settings cannot be had when the assistant starts (as at
# logon, before the network is up, or behind a captive portal): no offer,
# the assistant waits hidden. Once the server answers, the next arrival loads
# them and brings the offer; a later arrival does not load them again. An
# error page is no document, however well-formed: nginx's 404 page and a
# portal's XHTML page served with status 200 both leave the load to the next
# arrival. A retry at an arrival holds the popup's thread for a bounded time
# even against a server that takes the request and never answers, and a
# second arrival right after it does not chain another one.
import socket

import _download as d
from qmx_e2e import CUSTOMERSETTING_PATH, offer_documents, trace_lines

REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 300

TRACE = {"WINEDEBUG": "-all,warn+seh"}
PORTAL_PAGE = """<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE html PUBLIC "-//W3C//DTD XHTML 1.1//EN" "http://www.w3.org/TR/xhtml11/DTD/xhtml11.dtd">
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Welcome</title></head>
<body><form action="/login" method="post"><p>Accept the terms to go online.</p>
<input type="submit" value="Connect"/></form></body></html>
"""
# The arrival's retry ends within 30 s; the probe's own start-up under Wine
# adds a few seconds to each look.
RETRY_BOUND_S = 35


def loopback_listener():
    """A listening socket that never accepts: connections complete in the
    kernel and the request is taken, but nothing ever answers."""
    sock = socket.socket()
    sock.bind(("127.0.0.1", 0))
    sock.listen(8)
    return sock


def start_without_settings(s, base, expected_line):
    s.set_remotes(REMOTES, server=base)
    app = s.start(env=TRACE)
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_until(lambda: any(expected_line in line for line in trace_lines(app)),
                 "the trace line %r" % expected_line, timeout=20)
    s.check_eq(s.popup()["visible"], False, "popup visible")
    return app


def offer_at_arrival(s, app, loads):
    s.set_remotes(REMOTES)
    s.arrival()
    s.wait_popup(visible=True, timeout=10)
    d.wait_state(s, d.OFFER, "the offer", timeout=10)
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), loads, "customer-settings loads")


def close(s, app):
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")


def run(s):
    # A loopback port with nothing behind it: the connection is refused.
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        unreachable = "http://127.0.0.1:%d" % sock.getsockname()[1]

    s.step("start-up without a network: no offer")
    app = start_without_settings(s, unreachable, CUSTOMERSETTING_PATH + ": no body")
    s.step("the network is up; an arrival brings the offer")
    offer_at_arrival(s, app, 1)
    s.step("a later arrival keeps the loaded settings")
    s.arrival()
    s.check(s.responsive(), "the popup's thread answers after the arrival")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customer-settings loads")
    close(s, app)

    s.step("nginx's 404 page at start-up is no document")
    app = start_without_settings(s, s.server + "/missing",
                                 CUSTOMERSETTING_PATH + ": HTTP status 404, not a document")
    s.step("after the 404 page, an arrival brings the offer")
    offer_at_arrival(s, app, 2)
    close(s, app)

    s.step("a portal's page with status 200 at start-up is no document")
    s.put_document("/portal" + CUSTOMERSETTING_PATH, PORTAL_PAGE)
    app = start_without_settings(s, s.server + "/portal",
                                 "customer settings: the answer is not an Items document")
    s.step("after the portal page, an arrival brings the offer")
    offer_at_arrival(s, app, 3)
    close(s, app)

    s.step("a server that never answers holds an arrival's retry a bounded time")
    app = start_without_settings(s, unreachable, CUSTOMERSETTING_PATH + ": no body")
    silent = loopback_listener()
    try:
        s.set_remotes(REMOTES, server="http://127.0.0.1:%d" % silent.getsockname()[1])
        s.arrival_hold(RETRY_BOUND_S)
        s.check(s.popup()["visible"] is False, "no offer from a server that never answered")

        s.step("an arrival right after the retry does not retry again")
        s.set_remotes(REMOTES)
        s.arrival()
        s.check(s.responsive(), "the popup's thread answers after the arrival")
        s.check(any("retried less than a minute ago" in line for line in trace_lines(app)),
                "the trace says the retry waits")
        s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 3, "customer-settings loads")
    finally:
        silent.close()
    close(s, app)
