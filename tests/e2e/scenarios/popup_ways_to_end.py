# Every way the user or the system can close the popup ends the program with
# exit code 0: Alt+F4 typed, Alt+F4 as a posted key message, the system
# menu's Close, WM_CLOSE, and the Exit command (105).
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 120

WAYS = [
    ("Alt+F4 typed", ("key", "alt+f4", "--method", "input")),
    ("Alt+F4 posted", ("key", "alt+f4", "--method", "post")),
    ("system menu Close", ("syscommand-close",)),
    ("WM_CLOSE", ("close",)),
    ("Exit command", ("command", "105")),
]


def run(s):
    for label, probe_args in WAYS:
        s.step("%s: start" % label)
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.wait_popup(visible=True, timeout=10)
        s.step("%s ends the program" % label)
        r = s.probe(*probe_args)
        s.check(r and r[-1].get("ok"), "probe %s: %s" % (" ".join(probe_args), r))
        s.check_eq(s.wait_exit(app), 0, "exit code")
