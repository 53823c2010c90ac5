# A customer document sent 2 bytes a second (too fast for the stall guard)
# when the remote is plugged in again after Later: the popup's thread keeps
# answering while it arrives, and the fetch ends as a failed one.
import _answering
import _download as d
from qmx_e2e import offer_documents

REMOTES = d.REMOTES
SERVER = offer_documents(customer=d.CUSTOMER)
TIMEOUT = 150


def run(s):
    fault = s.start_fault_server()
    app = _answering.offer_then_later(s, {})
    s.step("plugged in again: customer.xml drips")
    s.set_remotes(REMOTES, server=fault + "/drip")
    _answering.arrival_answered(s, app)
    s.check(app.running(), "assistant still running")
