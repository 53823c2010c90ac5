# Only the exact lower-case "off" switches the assistant off: with "Off" or
# "OFF" in the settings file and a remote attached it keeps running.
from qmx_e2e import remote, usb_path, customersetting, CUSTOMERSETTING_PATH

REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = {CUSTOMERSETTING_PATH: customersetting({"CustomerID": 9})}
TIMEOUT = 90


def run(s):
    for spelling in ("Off", "OFF"):
        s.step("Notify=%s keeps running" % spelling)
        s.write_ini("[Option]\r\nNotify=%s\r\n" % spelling)
        before = len(s.requests_for(CUSTOMERSETTING_PATH))
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.check(app.running(), "assistant running")
        s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), before + 1,
                   "customersetting.xml fetched once more")
        s.step("Notify=%s: WM_CLOSE ends it" % spelling)
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code")
