# A server whose customer-settings answer never ends: the assistant keeps only
# the first 511999 bytes, finds no document in them and stays running with
# its popup hidden, its memory bounded whatever the server sends.
import qmx_e2e
from qmx_e2e import remote, usb_path

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 120
# Far above what the assistant itself needs under Wine (about 40 MB), far
# below what keeping the body would cost (the endless body arrives at
# hundreds of MB a second).
PEAK_BOUND_KB = 150 * 1024


def run(s):
    fault = s.start_fault_server()
    s.set_remotes(REMOTES, server=fault + "/endless")
    app = s.start()
    s.step("start-up ends although the body does not")
    s.check_eq(s.wait_settled(app, timeout=60), "running", "after start-up")
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.step("memory stayed bounded")
    peak = qmx_e2e.memory_peak_kb(app.name)
    s.log("peak resident memory: %s KiB" % peak)
    s.check(peak is not None, "the assistant's process is found")
    s.check(peak < PEAK_BOUND_KB, "peak memory %d KiB below %d KiB" % (peak, PEAK_BOUND_KB))
    s.check(app.running(), "assistant still running")
