# A second copy started while the first runs hidden ends silently with exit
# code 0 and does nothing; the first keeps running.
from qmx_e2e import remote, usb_path, customersetting, CUSTOMERSETTING_PATH

REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = {CUSTOMERSETTING_PATH: customersetting({"CustomerID": 9})}
TIMEOUT = 90


def run(s):
    first = s.start()
    s.check_eq(s.wait_settled(first), "running", "first copy after start-up")
    s.check_eq(s.popup()["visible"], False, "first copy's popup visible")
    s.step("second copy")
    scans = s.watch_remote_reads()
    second = s.start()
    s.check_eq(s.wait_exit(second), 0, "second copy's exit code")
    s.check_eq(scans.count(), 0, "device scans by the second copy")
    s.step("first copy unaffected")
    s.check(first.running(), "first copy still running")
    s.check(s.responsive(), "first copy answers messages")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customersetting.xml requests")
    s.check_eq(s.probe("process", s.exe_name)[-1]["count"], 1, "copies running")
