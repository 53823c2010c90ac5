# The popup answered from the keyboard, in English and in Japanese. Activating
# it (a click on its text) focuses the state's main action; Tab and Shift+Tab
# go round the visible buttons only; Enter and Space press the focused
# button; Esc acts as the close button; a focus cue shows only once the
# keyboard has been used; the About accelerators work with a button focused.
# A press that hides the focused button hands the focus to the new state's
# first stop. The focus is read from outside.
import subprocess

from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)  # no installer description: Download fails
TIMEOUT = 120

CLOSE, DOWNLOAD, LATER, NEVER_ASK = 20000, 20001, 20002, 20004


def focused(s):
    return s.probe("focus")[-1]["id"]


def crop(s, path, rect):
    return subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % rect, "-depth", "8", "rgb:-"],
                          stdout=subprocess.PIPE, check=True, timeout=30).stdout


def show_and_activate(s, app):
    """The popup visible (after start-up or an arrival) and activated by a
    click on its text, as a user does before using the keyboard."""
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    p = s.wait_popup(visible=True, timeout=10)
    text = s.controls()[19002]["rect"]
    x, y = p["rect"]["x"] + text["x"] + 5, p["rect"]["y"] + text["y"] + 5
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"],
                   env=s.env(), check=True, timeout=30)
    s.wait_until(lambda: focused(s) == DOWNLOAD, "the focus on Download", timeout=10)
    return p


def tab_round(s, keys, expected, what):
    seen = []
    for key in keys:
        s.key(key)
        seen.append(focused(s))
    s.check_eq(seen, expected, what)


def run(s):
    s.step("English: activation focuses Download, with no focus cue")
    app = s.start()
    p = show_and_activate(s, app)
    b = s.controls()[DOWNLOAD]["rect"]
    area = (b["w"], b["h"], p["rect"]["x"] + b["x"], p["rect"]["y"] + b["y"])
    untouched = crop(s, s.shot("focused-by-mouse"), area)

    s.step("English: Tab and Shift+Tab in the offer state")
    tab_round(s, ["tab"] * 4, [LATER, NEVER_ASK, CLOSE, DOWNLOAD], "Tab order")
    tab_round(s, ["shift+tab"] * 2, [CLOSE, NEVER_ASK], "Shift+Tab order")
    tab_round(s, ["tab", "tab"], [CLOSE, DOWNLOAD], "back to Download")
    s.check(crop(s, s.shot("focused-by-keyboard"), area) != untouched,
            "the focused Download button shows a cue once Tab was used")

    s.step("English: Alt+/ opens the About box while a button has the focus")
    s.key("alt+/")
    box = s.wait_until(lambda: [w for w in s.windows(cls="#32770", owned_by_popup=True)
                                if w["visible"]], "the About box", timeout=15)[0]
    s.probe("post-command", box["hwnd"], 1)
    s.wait_until(lambda: not s.windows(cls="#32770", owned_by_popup=True), "the About box to close",
                 timeout=15)
    s.wait_until(lambda: focused(s) == DOWNLOAD, "the focus back on Download", timeout=10)

    s.step("English: Esc acts as the close button")
    s.key("esc")
    s.wait_popup(visible=False, timeout=10)
    s.check(app.running(), "still running after Esc")

    s.step("English: Enter on Download; the focus moves to the next state's first stop")
    s.arrival()
    show_and_activate(s, app)
    s.key("enter")
    s.wait_until(lambda: s.controls()[19004]["visible"], "the failed state", timeout=30)
    s.check_eq(focused(s), CLOSE, "focus after Download hid itself")
    tab_round(s, ["tab"] * 3, [DOWNLOAD, LATER, CLOSE], "Tab order in the failed state")

    s.step("English: Space presses the focused button (Later)")
    tab_round(s, ["tab", "tab"], [DOWNLOAD, LATER], "to Later")
    s.key("space")
    s.wait_popup(visible=False, timeout=10)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")

    s.step("Japanese: Tab, Shift+Tab, Enter on Later")
    s.locale = "ja_JP.UTF-8"
    app = s.start()
    show_and_activate(s, app)
    tab_round(s, ["tab", "tab", "shift+tab"], [LATER, NEVER_ASK, LATER], "Tab order")
    s.key("enter")
    s.wait_popup(visible=False, timeout=10)

    s.step("Japanese: Esc")
    s.arrival()
    show_and_activate(s, app)
    s.key("esc")
    s.wait_popup(visible=False, timeout=10)
    s.check(app.running(), "still running after Esc")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
