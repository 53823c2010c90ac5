# Dragging: the popup answers WM_NCHITTEST with border codes in a two-pixel
# band at the left and top, a one-pixel band at the right and bottom, and
# "caption" everywhere else, so the background drags the window. A real
# mouse drag on the background moves it.
import subprocess

from qmx_e2e import remote, usb_path, offer_documents, HT

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90

# (x, y) in client coordinates of the 500 x 300 popup -> expected code
POINTS = [
    ((0, 0), "topleft"), ((1, 1), "topleft"), ((1, 2), "left"), ((2, 1), "top"),
    ((499, 0), "topright"), ((499, 1), "topright"), ((498, 0), "top"),
    ((0, 299), "bottomleft"), ((1, 299), "bottomleft"), ((0, 298), "left"),
    ((499, 299), "bottomright"), ((498, 298), "caption"), ((499, 298), "right"),
    ((0, 150), "left"), ((1, 150), "left"), ((2, 150), "caption"),
    ((499, 150), "right"), ((498, 150), "caption"),
    ((250, 0), "top"), ((250, 1), "top"), ((250, 2), "caption"),
    ((250, 299), "bottom"), ((250, 298), "caption"),
    ((250, 150), "caption"), ((200, 25), "caption"),
]


def run(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    p = s.wait_popup(visible=True, timeout=10)
    s.step("hit codes")
    for (x, y), name in POINTS:
        s.check_eq(s.hittest(x, y, client=True), HT[name], "hit code at (%d, %d)" % (x, y))
    s.step("hit codes from screen coordinates")
    r = p["rect"]
    s.check_eq(s.hittest(r["x"], r["y"], client=False), HT["topleft"], "at the popup's screen corner")
    s.check_eq(s.hittest(r["x"] + 250, r["y"] + 150, client=False), HT["caption"], "in the middle")

    s.step("a mouse drag on the background moves the popup")
    # Press on the text area (a label: clicks there drag too), move up-left.
    start_x, start_y = r["x"] + 250, r["y"] + 60
    subprocess.run(["xdotool", "mousemove", str(start_x), str(start_y), "mousedown", "1",
                    "mousemove", str(start_x - 100), str(start_y - 80),
                    "mousemove", str(start_x - 200), str(start_y - 150), "mouseup", "1"],
                   env=s.env(), check=True, timeout=30)
    moved = s.wait_until(lambda: (lambda q: q if q["rect"]["x"] != r["x"] else None)(s.popup()),
                         "the popup to move", timeout=10)
    s.shot("dragged")
    s.check_eq((moved["rect"]["x"], moved["rect"]["y"]), (r["x"] - 200, r["y"] - 150),
               "popup position after the drag")
    s.check_eq((moved["rect"]["w"], moved["rect"]["h"]), (r["w"], r["h"]), "popup size after the drag")
