# The About box: Alt+? and Alt+/ typed on the visible popup open it (modal,
# owned by the popup), its OK closes it, and the popup stays as it was.
from qmx_e2e import remote, usb_path, offer_documents

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90

IDOK = 1


def about_boxes(s):
    return [w for w in s.windows(cls="#32770", owned_by_popup=True) if w["visible"]]


def run(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.check_eq(about_boxes(s), [], "About boxes before any key")
    for key in ("alt+?", "alt+/"):  # typed: Alt down, the key, Alt up
        s.step("%s opens the About box" % key)
        s.key(key)
        box = s.wait_until(lambda: about_boxes(s), "the About box", timeout=15)[0]
        s.shot("about " + key)
        s.check(app.running(), "assistant running")
        s.step("%s: OK closes it" % key)
        s.probe("post-command", box["hwnd"], IDOK)
        s.wait_until(lambda: not about_boxes(s), "the About box to close", timeout=15)
        s.check(s.popup()["visible"], "popup still visible")
        s.check(s.responsive(), "popup answers")
    s.step("menu command 104 opens it too")
    s.command(104)
    box = s.wait_until(lambda: about_boxes(s), "the About box", timeout=15)[0]
    s.probe("post-command", box["hwnd"], IDOK)
    s.wait_until(lambda: not about_boxes(s), "the About box to close", timeout=15)
    s.step("'?' and '/' without Alt do nothing")
    s.key("?")
    s.key("/")
    s.check(s.responsive(), "popup answers")
    s.check_eq(about_boxes(s), [], "About boxes after '?' and '/' without Alt")
    s.check(s.popup()["visible"], "popup still visible")
