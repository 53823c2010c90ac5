# Application folder names from customer.xml that cannot name a folder under
# program files. A name that climbs out of it, or names a drive, is treated
# like a missing name: no offer, and nothing is started even though an
# orvanteer.exe lies where the name points. A name too long for a Windows path
# counts as "not installed": the offer shows.
import os

from qmx_e2e import remote, usb_path, offer_documents, customer_path, xml_option

REMOTES = [remote(usb_path("ad03"), customer=7)]
SERVER = offer_documents(customer=7)
OUTSIDE = "C:\\qmxescape\\orvanteer.exe"
TIMEOUT = 120


def customer_xml(app_dir_name):
    return xml_option(UrlDirectory="https://download.example/c7/", AppDirName=app_dir_name,
                      English1="Orvanteer Assistant", English2="Download the presenter now?")


def run(s):
    log = s.install_standin(OUTSIDE) + ".log"
    for name in ("..\\qmxescape", "../qmxescape", "C:\\qmxescape"):
        s.step("AppDirName %r: no offer, nothing started" % name)
        s.put_document(customer_path(7), customer_xml(name))
        app = s.start(env={"QMX_STANDIN_STAY_MS": "60000"})
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.check_eq(s.popup()["visible"], False, "popup visible")
        s.check(not s.process_running("orvanteer.exe"), "no companion process")
        s.check(not os.path.exists(log), "the companion outside program files never started")
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")

    s.step("over-long AppDirName: counts as not installed")
    s.put_document(customer_path(7), customer_xml("Orvanteer" * 40))
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    c = s.controls()
    s.check_eq(c[19001]["text"], "Orvanteer Assistant", "title")
    s.check_eq(s.visible_ids(), sorted([19001, 19002, 20000, 20001, 20002, 20004]), "offer layout")
    s.shot("overlong-app-dir")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
