# The support trace read as a support desk would (here through Wine's debug
# channel, where each OutputDebugString line shows on standard error as
# warn:seh:OutputDebugStringA "..."): one start that ends in the offer leaves
# the scan result with the path, the customer-settings fetch, the customer
# number, the customer document fetch and the outcome row, in that order.
from qmx_e2e import (CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, trace_lines,
                     usb_path)

PATH = usb_path("ac01")
REMOTES = [remote(PATH, customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 60

def run(s):
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)

    s.step("the trace tells the road to the offer")
    lines = trace_lines(app)
    s.check(lines, "trace lines in the output: %r" % app.output()[-2000:])
    wanted = [
        "scan: found %s (simple model)" % PATH.replace("\\", "\\\\"),
        "document %s%s: read" % (s.server, CUSTOMERSETTING_PATH),
        "customer number 7",
        "document %s%s: read" % (s.server, customer_path(7)),
        "decision: application not installed, offer shown",
    ]
    found = [next((l for l in lines if l.startswith(w)), None) for w in wanted]
    s.check(None not in found, "wanted lines %r in the trace %r" % (wanted, lines))
    s.check_eq([lines.index(l) for l in found], sorted(lines.index(l) for l in found),
               "order of the lines")
