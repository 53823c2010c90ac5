# "off" in the settings file switches the assistant off: it ends at once with
# exit code 0, without scanning for (let alone opening) the remote and
# without fetching anything, although a remote with an offer is attached.
# A machine policy Notify=off does the same whatever the settings file says;
# the support trace names the policy that decided.
from qmx_e2e import remote, usb_path, offer_documents, trace_lines

INI = "[Option]\r\nNotify=off\r\n"
REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 60


def run(s):
    scans = s.watch_remote_reads()
    app = s.start()
    s.step("exits at once")
    s.check_eq(s.wait_exit(app), 0, "exit code")
    s.step("no scan, nothing fetched")
    s.check_eq(scans.count(), 0, "reads of the remote description (device scans)")
    s.check_eq(s.access_log(), [], "requests to the server")

    s.step("machine policy Notify=off, the settings file says on")
    s.write_ini("[Option]\r\nNotify=on\r\n")
    s.set_policy("HKLM", "Notify", "off")
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_exit(app), 0, "exit code")
    s.check_eq(scans.count(), 0, "reads of the remote description (device scans)")
    s.check_eq(s.access_log(), [], "requests to the server")
    lines = trace_lines(app)
    s.log("trace: %s" % lines)
    s.check_eq(lines, ["policy in effect: Notify=off (policy HKLM), ServerUrl=- (built in), "
                       "ProxyLogon=all (built in)",
                       "switched off by Notify=off (policy HKLM): the program ends at start-up"],
               "trace")
