# The road of one offer, end to end: the offer shows, Download fetches the
# installer description and the installer from the customer's directory
# (addresses with "https:", fetched over plain HTTP), the progress bar
# moves, the digest matches, the completed state offers Open, and Open
# starts the downloaded installer with "-qmx_normal" and hides the popup.
# The installer served here is the stand-in program, so its start is seen in
# its log.
import hashlib
import os

from qmx_e2e import remote, usb_path, offer_documents, xml_option

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 90

DIR_PATH = "/downloads/orvanteer/customers/customer007/windows/"
INSTALLER_PATH = "/files/orvanteer/setup-2.1.exe"


def run(s):
    with open(s.standin_exe, "rb") as f:
        installer = f.read()
    https = s.server.replace("http:", "https:")
    for path, content in offer_documents(customer=7, url_directory=https + DIR_PATH).items():
        s.put_document(path, content)
    s.put_document(DIR_PATH + "orvanteer.xml",
                   xml_option(Verson="2.1", DownLoad=https + INSTALLER_PATH,
                              MD5=hashlib.md5(installer).hexdigest()))
    s.put_document(INSTALLER_PATH, installer)

    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.shot("offer")

    s.step("Download")
    s.click(20001)
    done = s.wait_until(lambda: (lambda c: c if c[19003]["visible"] or c[19004]["visible"] else None)(
        s.controls()), "the download to end", timeout=30)
    s.shot("completed")
    s.check_eq(s.visible_ids(), [19001, 19003, 20000, 20002, 20003], "controls of the completed state")
    s.check_eq(done[20005]["pos"], 100, "progress bar position")
    s.check(done[19005]["text"].endswith("100%"), "progress text %r ends with 100%%" % done[19005]["text"])

    s.step("what was fetched")
    log = s.access_log()
    s.check_eq([(e["method"], e["path"], e["status"]) for e in log[-2:]],
               [("POST", DIR_PATH + "orvanteer.xml", 200), ("GET", INSTALLER_PATH, 200)],
               "the last two requests")
    target = os.path.join(s.appdata, "QmxAssistant", "Temp", "setup.exe")
    with open(target, "rb") as f:
        s.check(f.read() == installer, "the downloaded file is the served installer")

    s.step("Open starts the installer with -qmx_normal")
    s.click(20003)
    s.wait_popup(visible=False, timeout=10)
    started = s.wait_until(lambda: os.path.exists(target + ".log") and open(target + ".log").read(),
                           "the installer to start", timeout=20)
    s.check("-qmx_normal" in started, "installer command line %r has -qmx_normal" % started)
    s.check(app.running(), "assistant still running")
