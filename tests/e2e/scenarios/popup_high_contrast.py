# High contrast: the popup draws with the system's colours (read by the
# probe) instead of its fixed blue and its bitmaps, in the same geometry, and
# follows the setting both ways while it runs. Wine cannot switch the mode
# on, so the testing exe takes it from its scenario description.
import subprocess
import time

from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 60

HEADER_BLUE = (48, 99, 170)


def pixels(path, points):
    out = []
    for x, y in points:
        raw = subprocess.run(["convert", path, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgb:-"],
                             stdout=subprocess.PIPE, check=True, timeout=30).stdout
        out.append(tuple(raw[:3]))
    return out


def run(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    p = s.wait_popup(visible=True, timeout=10)
    colours = {k: tuple(v) for k, v in s.prefix_env()["colours"].items()}
    before = {i: c["rect"] for i, c in s.controls().items()}
    ox, oy = p["rect"]["x"], p["rect"]["y"]
    d = before[20001]
    c = before[20000]
    # Client points: header band clear of title and close, body between header
    # and text, the left outline, Download's face and its left edge, the
    # close button's corner (its cross is inset).
    points = [(420, 10), (250, 60), (0, 150), (d["x"] + 5, d["y"] + d["h"] - 5),
              (d["x"], d["y"] + d["h"] // 2), (c["x"] + 1, c["y"] + 1)]
    screen = [(ox + x, oy + y) for x, y in points]
    want = [colours["highlight"], colours["window"], colours["window_text"],
            colours["button_face"], colours["button_text"], colours["highlight"]]

    def wait_pixels(expected, label):
        deadline = time.monotonic() + 10
        while True:
            seen = pixels(s.shot(label), screen)
            if expected is None or seen == expected or time.monotonic() > deadline:
                return seen
            time.sleep(0.5)

    s.step("own colours while high contrast is off")
    seen = wait_pixels(None, "own-colours")
    s.check_eq(seen[0], HEADER_BLUE, "header band")

    s.step("high contrast switched on while running")
    s.set_high_contrast(True)
    s.probe("settingchange")
    s.check_eq(wait_pixels(want, "high-contrast"), want, "header, body, outline, button face "
               "and edge, close button (system colours)")
    s.check_eq({i: c["rect"] for i, c in s.controls().items()}, before, "control rectangles")

    s.step("and off again")
    s.set_high_contrast(False)
    s.probe("settingchange")
    s.check_eq(wait_pixels(seen, "own-colours-again"), seen, "the popup's own colours")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
