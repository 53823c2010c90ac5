# Never ask writes Notify=off into the settings file beside the exe (creating
# it) and ends the program with exit code 0; the next start ends at once
# without a scan or a request.
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90


def run(s):
    s.check_eq(s.read_ini(), None, "settings file before")
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.step("Never ask")
    s.click(20004)
    s.check_eq(s.wait_exit(app), 0, "exit code")
    ini = s.read_ini() or ""
    s.check("[Option]" in ini and "Notify=off" in ini.replace(" ", ""),
            "settings file holds [Option] Notify=off: %r" % ini)
    s.step("the next start ends at once")
    requests = len(s.access_log())
    scans = s.watch_remote_reads()
    again = s.start()
    s.check_eq(s.wait_exit(again), 0, "exit code")
    s.check_eq(scans.count(), 0, "device scans")
    s.check_eq(len(s.access_log()), requests, "requests to the server")
