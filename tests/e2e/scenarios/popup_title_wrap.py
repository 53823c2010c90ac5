# Label alignment is chosen once, from the text a label has when the popup is
# built. English: the table's title fits the 350-pixel title label and is
# centred vertically (SS_CENTERIMAGE), the short failure text is centred both
# ways, the long offer text wraps from the top left; the customer's longer
# title put in later keeps the title's alignment. Japanese: the table's title
# is wider than 350 pixels, so the title label wraps from the top.
from qmx_e2e import remote, usb_path, offer_documents

LONG_TITLE = "Orvanteer Presenter Assistant for Meeting Rooms and Lecture Halls"
TEXTS = {
    "English1": LONG_TITLE, "English2": "Download the presenter now?",
    "Japanese1": "プレゼン アシスタント", "Japanese2": "今すぐダウンロードしますか？",
}
REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7, **TEXTS)
TIMEOUT = 90


def alignment(control):
    flags = set(control["flags"])
    return ("SS_CENTER" in flags, "SS_CENTERIMAGE" in flags)


def start_and_read(s, locale):
    s.locale = locale
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.shot(locale)
    return app, s.controls()


def run(s):
    s.step("English")
    app, c = start_and_read(s, "en_US.UTF-8")
    s.check_eq(c[19001]["text"], LONG_TITLE, "customer title in place")
    s.check_eq(alignment(c[19001]), (False, True), "title: one line, centred vertically")
    s.check_eq(alignment(c[19004]), (True, True), "short failure text: centred both ways")
    s.check_eq(alignment(c[19002]), (False, False), "long table offer text: wraps from the top")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")

    s.step("Japanese")
    app, c = start_and_read(s, "ja_JP.UTF-8")
    s.check_eq(c[19001]["text"], TEXTS["Japanese1"], "customer title in place")
    s.check_eq(alignment(c[19001]), (False, False), "title: wraps from the top")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
