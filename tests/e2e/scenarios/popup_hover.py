# Hovering with the real mouse: an image button resting under the pointer
# shows the right-hand (hovered) frame of its bitmap, and the left-hand frame
# again once the pointer leaves; moving from Download to Later hands the
# hovered look over. Pressing on a button and moving does not drag the popup,
# and releasing on the button acts as its click (Later hides the popup).
import os
import struct
import subprocess
import time

from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90

ART = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                   "resources", "art")
FRAME_W, FRAME_H = 108, 52
# A point in the lower band of a 150 x 60 main button, below its text and
# away from the outline; the whole band around it has one colour per frame.
SAMPLE = (40, 50)
SAMPLE_IN_FRAME = (SAMPLE[0] * FRAME_W // 150, SAMPLE[1] * FRAME_H // 60)


def bmp_pixel(name, x, y):
    """(r, g, b) of a 24-bit bottom-up BMP of resources/art."""
    with open(os.path.join(ART, name), "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    row = (w * 3 + 3) & ~3
    b, g, r = data[offset + (h - 1 - y) * row + x * 3: offset + (h - 1 - y) * row + x * 3 + 3]
    return (r, g, b)


def frame_colour(name, frame):
    return bmp_pixel(name, frame * FRAME_W + SAMPLE_IN_FRAME[0], SAMPLE_IN_FRAME[1])


def screen_pixel(path, x, y):
    raw = subprocess.run(["convert", path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgb:-"],
                         stdout=subprocess.PIPE, check=True, timeout=30).stdout
    return tuple(raw[:3])


def run(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    p = s.wait_popup(visible=True, timeout=10)
    r = p["rect"]
    c = s.controls()

    def centre(cid):
        q = c[cid]["rect"]
        return r["x"] + q["x"] + q["w"] // 2, r["y"] + q["y"] + q["h"] // 2

    def sample_point(cid):
        q = c[cid]["rect"]
        return r["x"] + q["x"] + SAMPLE[0], r["y"] + q["y"] + SAMPLE[1]

    def mouse(*args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=s.env(), check=True, timeout=30)

    looks = {
        20001: {False: frame_colour("blue_button.bmp", 0), True: frame_colour("blue_button.bmp", 1)},
        20002: {False: frame_colour("grey_button.bmp", 0), True: frame_colour("grey_button.bmp", 1)},
    }
    for cid, pair in looks.items():
        s.check(pair[False] != pair[True], "frames of %d differ at the sample point" % cid)

    def wait_look(download_hovered, later_hovered, label):
        """Screenshots until both buttons show the wanted frames (10 s bound)."""
        want = {20001: looks[20001][download_hovered], 20002: looks[20002][later_hovered]}
        deadline = time.monotonic() + 10
        while True:
            shot = s.shot(label)
            seen = {cid: screen_pixel(shot, *sample_point(cid)) for cid in want}
            if seen == want or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        s.check_eq(seen, want, "sample colours of Download and Later, " + label)

    s.step("no button hovered")
    mouse("mousemove", 5, 5)
    wait_look(False, False, "nothing-hovered")

    s.step("pointer resting on Download")
    x, y = centre(20001)
    mouse("mousemove", x, y, "sleep", "0.2", "mousemove", x + 3, y + 2)
    wait_look(True, False, "download-hovered")

    s.step("pointer moved on to Later")
    x, y = centre(20002)
    mouse("mousemove", x, y, "sleep", "0.2", "mousemove", x + 3, y + 2)
    wait_look(False, True, "later-hovered")

    s.step("pointer left the popup")
    mouse("mousemove", 5, 5)
    wait_look(False, False, "left")

    s.step("pressing on Later and moving does not drag")
    x, y = centre(20002)
    mouse("mousemove", x, y, "mousedown", "1", "mousemove", x - 100, y - 80,
          "mousemove", x - 150, y - 120)
    now = s.popup()
    s.check_eq((now["rect"]["x"], now["rect"]["y"]), (r["x"], r["y"]), "popup position while pressed")
    s.check_eq(now["visible"], True, "popup visible while pressed")

    s.step("releasing on Later clicks it")
    mouse("mousemove", x, y, "mouseup", "1")
    s.wait_popup(visible=False, timeout=10)
    s.check_eq((s.popup()["rect"]["x"], s.popup()["rect"]["y"]), (r["x"], r["y"]),
               "popup position after the click")
    s.check(app.running(), "still running after Later")

    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
