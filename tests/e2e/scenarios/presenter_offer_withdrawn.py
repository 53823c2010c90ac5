# An offer held during a slide show is withdrawn when a later arrival finds
# the application installed meanwhile: the end of the show then brings no
# offer for it, and the trace says why.
import time

from _presenter import Presenter
from qmx_e2e import offer_documents, remote, trace_lines, usb_path

SERVER = offer_documents(customer=7, app_dir_name="Valdry Orvanteer")
REMOTES = [remote(usb_path("ac01"), customer=7)]
APP = "Valdry Orvanteer\\orvanteer.exe"  # under the 32-bit program-files folder
TIMEOUT = 120
AFTER_SHOW_S = 10  # longer than the looks and the settling time together


def run(s):
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.click(20002)
    s.wait_popup(visible=False, timeout=10)

    s.step("the offer is held during the show")
    show = Presenter(s)
    s.arrival()
    s.check_eq(s.popup()["visible"], False, "popup visible")

    s.step("installed meanwhile; the next arrival withdraws the offer")
    s.install_standin(s.program_files_win + "\\" + APP)
    s.arrival()

    s.step("the show ends: no offer")
    show.end_show()
    ended = time.time()
    while time.time() - ended < AFTER_SHOW_S:
        s.check_eq(s.popup()["visible"], False, "popup visible after the show")
        time.sleep(0.5)
    s.check_eq([l for l in trace_lines(app) if l.startswith("offer ")],
               ["offer held: a full-screen program is in front",
                "offer held no longer: withdrawn by a later decision"], "offer lines of the trace")
