"""Shared by the popup_geometry_* scenarios: the popup of an offer on a
screen of the scenario's size, checked from inside Wine (the probe) and from
outside (xwininfo on the X server), with its controls' rectangles."""
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 60

BASE_W, BASE_H = 1920, 1080


def scale_x(screen_w, v):
    return v if screen_w <= BASE_W else screen_w * v // BASE_W


def scale_y(screen_h, v):
    return v if screen_h <= BASE_H else screen_h * v // BASE_H


def expected_controls(sw, sh):
    w, hp = scale_x(sw, 500), scale_y(sh, 300)
    h, t = scale_y(sh, 50), scale_y(sh, 120)
    bw, bh = scale_x(sw, 150), scale_y(sh, 60)
    p = sh * 30 // BASE_H
    text = (20, h + 20, w - 40, hp - h - 20 - t)
    return {
        19001: (40, 0, 350, h),
        19002: text, 19003: text, 19004: text,
        20005: (50, hp // 2, w - 100, p),
        19005: (50, hp // 2 + p + 1, w - 100, 40),
        20000: (w - 30, h // 2 - 8, 16, 16),
        20001: (w // 2 - 30 - bw, hp - t, bw, bh),
        20003: (w // 2 - 30 - bw, hp - t, bw, bh),
        20002: (w // 2 + 30, hp - t, bw, bh),
        20004: (20, hp - scale_y(sh, 15) - scale_y(sh, 40), scale_x(sw, 100), scale_y(sh, 40)),
    }


def check(s, expected_rect):
    """expected_rect: (x, y, w, h) of the popup on the screen."""
    sw, sh = s.screen
    app = s.start()
    s.step("popup shown")
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    p = s.wait_popup(visible=True, timeout=10)
    s.shot("popup")
    s.step("popup rectangle (probe)")
    r = p["rect"]
    s.check_eq((p["screen_w"], p["screen_h"]), (sw, sh), "screen size Wine reports")
    s.check_eq(p["workarea"], {"x": 0, "y": 0, "w": sw, "h": sh}, "work area (no taskbar)")
    s.check_eq((r["x"], r["y"], r["w"], r["h"]), expected_rect, "popup rectangle")
    s.check_eq((p["client"]["w"], p["client"]["h"]), expected_rect[2:], "client size (frameless)")
    s.step("popup rectangle (xwininfo)")
    x = s.wait_until(lambda: s.xwininfo(), "the popup's X window", timeout=10)
    s.check(x["mapped"], "X window mapped")
    s.check_eq((x["x"], x["y"], x["w"], x["h"]), expected_rect, "X window rectangle")
    s.step("control rectangles")
    controls = s.controls()
    for cid, want in expected_controls(sw, sh).items():
        s.check(cid in controls, "control %d exists" % cid)
        c = controls[cid]["rect"]
        s.check_eq((c["x"], c["y"], c["w"], c["h"]), want, "rectangle of control %d" % cid)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
