# A customer document sent 2 bytes a second (too fast for the stall guard)
# when the remote is plugged in again after Later: the popup's thread keeps
# answering while it arrives, and the fetch ends as a failed one. Another
# arrival meanwhile does not run inside the first: the first goes through
# its sequence once more when it ends.
import time

import _answering
import _download as d
from qmx_e2e import offer_documents

REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 150
FOLDED = "arrival: another came during the last one, checking again"


def another_arrival(s):
    sent = time.monotonic()
    s.arrival()
    s.check(time.monotonic() - sent < 10, "the second arrival was taken up at once")


def run(s):
    fault = s.start_fault_server()
    app = _answering.offer_then_later(s, {})
    s.step("plugged in again: customer.xml drips")
    s.set_remotes(REMOTES, server=fault + "/drip")
    _answering.arrival_answered(s, app, lambda: another_arrival(s))
    s.check_eq(_answering.count(app, FOLDED), 1, "trace lines of an arrival taken up")
    s.check(app.running(), "assistant still running")
