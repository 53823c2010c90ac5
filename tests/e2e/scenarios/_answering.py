"""Shared piece of the scenarios whose arrival meets a fetch that does not
end: after Later, the remote is plugged in again, and the popup's thread
must keep answering Windows' "not responding" test (WM_NULL sent with
SMTO_ABORTIFHUNG) while the customer document is fetched, and end the
arrival as a failed fetch."""
import time

import _download as d
from qmx_e2e import trace_lines

TRACE = {"WINEDEBUG": "-all,warn+seh"}
ANSWER_BOUND_S = 30
# The arrival's own waits, its fetch's bound and the probe's start under Wine.
ARRIVAL_BOUND_S = 45
REQUEST_LINE = "customer number %d" % d.CUSTOMER
FAILED_LINE = "decision: customer.xml cannot be loaded, or its map is empty"


def answers(s):
    r = s.probe("ping", 1000, "--abort-if-hung", check=False)
    return bool(r and r[-1].get("answered"))


def count(app, text):
    return sum(text in line for line in trace_lines(app))


def offer_then_later(s, env):
    app = d.start_with_offer(s, env=dict(TRACE, **env))
    s.click(d.LATER)
    s.wait_popup(visible=False, timeout=10)
    return app


def arrival_answered(s, app):
    """Plugs the remote in again; returns the seconds from the customer
    document's request (the trace's customer number line comes right before
    it) to the popup's thread answering."""
    asked = count(app, REQUEST_LINE)
    arrival = s.arrival(background=True)
    s.wait_until(lambda: count(app, REQUEST_LINE) > asked, "the customer document's request",
                 timeout=20)
    requested = time.monotonic()
    s.wait_until(lambda: answers(s), "the popup's thread to answer", timeout=ANSWER_BOUND_S)
    took = time.monotonic() - requested
    s.log("the popup's thread answered %.1f s after the request" % took)
    s.wait_until(lambda: arrival.poll() is not None, "the arrival to end", timeout=ARRIVAL_BOUND_S)
    s.wait_until(lambda: count(app, FAILED_LINE) > 0, "the trace line %r" % FAILED_LINE,
                 timeout=10)
    s.check_eq(s.popup()["visible"], False, "popup visible after the failed fetch")
    return took
