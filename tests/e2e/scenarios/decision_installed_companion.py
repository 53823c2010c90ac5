# A companion application already installed under the 32-bit program-files
# folder: no offer for either model family. A simple model's remote starts
# nothing; a spotlight model's remote gets the application started with
# "-qmx_check", at start-up and again at every arrival that finds the remote.
import os

from qmx_e2e import remote, usb_path, offer_documents, customer_path

SERVER = offer_documents(customer=7, app_dir_name="Valdry Orvanteer")
APP = "Valdry Orvanteer\\orvanteer.exe"  # under the 32-bit program-files folder
TIMEOUT = 120


def check_lines(log):
    if not os.path.exists(log):
        return []
    with open(log, encoding="utf-8", errors="replace") as f:
        return [line for line in f.read().splitlines() if "-qmx_check" in line]


def run(s):
    log = s.install_standin(s.program_files_win + "\\" + APP) + ".log"

    s.step("simple model: nothing started, no offer")
    s.set_remotes([remote(usb_path("ac01"), customer=7)])
    # A started companion would stay this long, so "not running" means "never started".
    app = s.start(env={"QMX_STANDIN_STAY_MS": "60000"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check_eq(len(s.requests_for(customer_path(7))), 1, "customer.xml requests")
    s.check(not s.process_running("orvanteer.exe"), "no companion process")
    s.check(not os.path.exists(log), "the companion never logged a start")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")

    s.step("spotlight model: started with -qmx_check at start-up")
    s.set_remotes([remote(usb_path("ad03"), customer=7)])
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_until(lambda: len(check_lines(log)) == 1, "the companion's -qmx_check start", timeout=30)
    s.check("orvanteer.exe" in check_lines(log)[0].lower(), "the companion's own path was started")
    s.check_eq(s.popup()["visible"], False, "popup visible")

    s.step("an arrival with the remote still attached starts it again")
    s.arrival()
    s.wait_until(lambda: len(check_lines(log)) == 2, "the second -qmx_check start", timeout=30)
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check_eq(len(s.requests_for(customer_path(7))), 3, "customer.xml requests")
    s.shot("installed-spotlight")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
