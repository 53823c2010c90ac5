# A TLS build follows redirects for the documents too, so a settings retry
# at an arrival is bounded over all its hops: a server that answers each
# request only after 8 s with a redirect back to itself holds the popup's
# thread about 20 s, not the 88 s of eleven hops.
import socket

import _download as d
from qmx_e2e import trace_lines

TLS = True
REMOTES = d.REMOTES
TIMEOUT = 150

BOUND_S = 35  # the retry's 20 s, the arrival's own waits and the probe's start-up


def run(s):
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        unreachable = "https://localhost:%d" % sock.getsockname()[1]
    s.set_remotes(REMOTES, server=unreachable)
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.check_eq(s.popup()["visible"], False, "popup visible")

    s.step("an arrival's retry against slow redirects")
    s.set_remotes(REMOTES, server=s.start_fault_server() + "/slow-redirect")
    s.arrival_hold(BOUND_S)
    hops = [line for line in trace_lines(app) if line.startswith("redirect 302 from ")]
    s.check(1 <= len(hops) <= 3, "redirects followed within the bound: %d" % len(hops))
    s.check_eq(s.popup()["visible"], False, "popup visible")
