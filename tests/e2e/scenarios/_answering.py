"""Shared piece of the scenarios whose arrival (the remote plugged in again
after Later) meets a customer-document fetch that does not end: the popup's
thread must answer Windows' "not responding" test meanwhile."""
import time

import _download as d
from qmx_e2e import trace_lines

TRACE = {"WINEDEBUG": "-all,warn+seh"}
ANSWER_BOUND_S = 30
# The arrival's waits and its fetch's bound, twice when an arrival sent
# meanwhile has it run again, and the probe's start.
ARRIVAL_BOUND_S = 60
REQUEST_LINE = "customer number %d" % d.CUSTOMER  # written right before the request
FAILED_LINE = "decision: customer.xml cannot be loaded, or its map is empty"


def count(app, text):
    return sum(text in line for line in trace_lines(app))


def offer_then_later(s, env):
    app = d.start_with_offer(s, env=dict(TRACE, **env))
    s.click(d.LATER)
    s.wait_popup(visible=False, timeout=10)
    return app


def arrival_answered(s, app, meanwhile=lambda: None):
    asked = count(app, REQUEST_LINE)
    arrival = s.arrival(background=True)
    s.wait_until(lambda: count(app, REQUEST_LINE) > asked, "the request", timeout=20)
    requested = time.monotonic()
    s.wait_until(lambda: s.probe("ping", 1000, "--abort-if-hung")[-1]["answered"],
                 "the popup's thread to answer", timeout=ANSWER_BOUND_S)
    s.log("the popup's thread answered %.1f s after the request" % (time.monotonic() - requested))
    meanwhile()
    s.wait_until(lambda: arrival.poll() is not None, "the arrival to end", timeout=ARRIVAL_BOUND_S)
    s.wait_until(lambda: count(app, FAILED_LINE), "the failed fetch's trace line", timeout=10)
    s.check_eq(s.popup()["visible"], False, "popup visible after the failed fetch")
