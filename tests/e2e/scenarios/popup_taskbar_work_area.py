# The popup's place follows the work area's width and height, not its right
# and bottom edges: one pixel in from the corner with the taskbar at the
# bottom or right, and that far further up or left with the taskbar at the
# top or left. The work area is announced on the X root window as a desktop
# with a taskbar would.
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 120

CASES = [  # taskbar, work area (x, y, w, h), popup corner
    ("bottom", (0, 0, 1920, 1040), (1419, 739)),
    ("top", (0, 40, 1920, 1040), (1419, 739)),
    ("right", (0, 0, 1860, 1080), (1359, 779)),
    ("left", (60, 0, 1860, 1080), (1359, 779)),
]


def run(s):
    for taskbar, area, corner in CASES:
        s.step("taskbar at the %s" % taskbar)
        s.set_workarea(area)
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        p = s.wait_popup(visible=True, timeout=10)
        wa = p["workarea"]
        s.check_eq((wa["x"], wa["y"], wa["w"], wa["h"]), area, "work area Wine reports")
        r = p["rect"]
        s.check_eq((r["x"], r["y"], r["w"], r["h"]), corner + (500, 300), "popup rectangle")
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
