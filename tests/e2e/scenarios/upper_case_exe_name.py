# Named "QMXASSISTANT.EXE", the program's settings path is its own path (the
# ".exe" to ".ini" replacement is case-sensitive), so a Notify=off in
# QMXASSISTANT.ini beside it is never read: with a remote attached it keeps
# running and asks the server as usual. The same file under the lower-case
# name does switch a lower-case copy off, so the file itself is valid.
from qmx_e2e import remote, usb_path, customersetting, CUSTOMERSETTING_PATH

EXE = "QMXASSISTANT.EXE"
INI = "[Option]\r\nNotify=off\r\n"
INI_NAME = "QMXASSISTANT.ini"
REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = {CUSTOMERSETTING_PATH: customersetting({"CustomerID": 9})}
TIMEOUT = 90


def run(s):
    app = s.start()
    s.step("not switched off")
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customersetting.xml requests")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
    s.step("same settings under a lower-case name switch off")
    s.copy_exe("qmxassistant.exe")
    s.write_ini(INI, name="qmxassistant.ini")
    scans = s.watch_remote_reads()
    lower = s.start("qmxassistant.exe")
    s.check_eq(s.wait_exit(lower), 0, "exit code")
    s.check_eq(scans.count(), 0, "device scans")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1, "customersetting.xml requests")
