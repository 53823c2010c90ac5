# What a screen reader reads: the Active Accessibility name of the popup and
# of every visible control, in each state, in English and in Japanese. None
# is empty; the close button, which draws no text, is named "Close" in the
# user's language; the popup is named by its visible title, not by its
# window title "qmx" (which stays, as does its class).
import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120

TITLE = "Orvanteer Assistant"  # English1 of the customer document, for every language
CLOSE_NAMES = {"en_US.UTF-8": "Close", "ja_JP.UTF-8": "閉じる"}


def check_names(s, state, expected_ids):
    lines = [l for l in s.probe("names") if l.get("cmd") == "name"]
    names = {(l["id"], l["object"]): l["name"] for l in lines}
    s.log("%s: %s" % (state, sorted(names.items())))
    s.check_eq(sorted(i for i, obj in names if i), sorted(expected_ids | {19001, 20000}),
               "visible controls in the %s state" % state)
    s.check_eq([k for k, v in names.items() if not v.strip()], [], "empty names (%s)" % state)
    s.check_eq(names[(0, "window")], TITLE, "the popup's name (window object)")
    s.check_eq(names[(0, "client")], TITLE, "the popup's name (client object)")
    s.check_eq(names[(20000, "client")], CLOSE_NAMES[s.locale], "the close button's name")
    return names


def run(s):
    installer = d.standin_bytes(s)
    for locale in ("en_US.UTF-8", "ja_JP.UTF-8"):
        s.locale = locale
        server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
        try:
            d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
            s.step("%s: offer" % locale)
            app = d.start_with_offer(s)
            s.check_eq(s.popup()["found"], True, "the popup found by class QMX and title qmx")
            names = check_names(s, "offer", d.OFFER)
            s.check_eq(names[(20001, "client")], s.controls()[20001]["text"], "Download's name")

            s.step("%s: downloading" % locale)
            s.click(d.DOWNLOAD)
            s.check(server.held.wait(30), "the installer was requested")
            d.wait_state(s, d.DOWNLOADING, "the downloading state")
            check_names(s, "downloading", d.DOWNLOADING)

            s.step("%s: completed" % locale)
            server.release()
            d.wait_state(s, d.COMPLETED, "the completed state")
            check_names(s, "completed", d.COMPLETED)

            if locale.startswith("en"):
                s.step("%s: failed" % locale)
                s.click(d.LATER)
                s.put_document(d.DESCRIPTION_PATH, d.description(server.url, "0" * 32))
                s.arrival()
                d.wait_state(s, d.OFFER, "the offer again")
                s.click(d.DOWNLOAD)
                d.wait_state(s, d.FAILED, "the failed state")
                check_names(s, "failed", d.FAILED)
            s.probe("close")
            s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
        finally:
            server.stop()
