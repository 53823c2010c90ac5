# Device events while the assistant runs. After Later hides the offer, a
# removal, an arrival of another device type and an arrival with the remote
# unplugged change nothing; a USB arrival with the remote attached scans
# again and brings the offer back; another arrival while it shows keeps it.
from qmx_e2e import remote, usb_path, offer_documents, customer_path, CUSTOMERSETTING_PATH

REMOTE = remote(usb_path("ac01"), customer=7)
REMOTES = [REMOTE]
SERVER = offer_documents(customer=7)
TIMEOUT = 120

OFFER = [19001, 19002, 20000, 20001, 20002, 20004]


def run(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.check_eq(s.visible_ids(), OFFER, "controls of the offer")

    s.step("Later hides the popup")
    s.click(20002)
    s.wait_popup(visible=False, timeout=10)

    scans = s.watch_remote_reads()
    s.step("removal: nothing happens")
    s.removal()
    s.step("volume arrival: ignored, no scan")
    s.arrival("volume")
    s.check(s.responsive(), "popup answers")
    s.check_eq(scans.count(), 0, "device scans")
    s.check_eq(s.popup()["visible"], False, "popup visible")

    s.step("remote unplugged, USB arrival: scan finds nothing")
    s.set_remotes([])
    base = scans.count()
    s.arrival()
    s.check(scans.count() > base, "a scan happened")
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check(app.running(), "assistant still running")

    s.step("remote plugged in again: the offer comes back")
    s.set_remotes([REMOTE])
    s.arrival()
    p = s.wait_popup(visible=True, timeout=10)
    s.check_eq(s.visible_ids(), OFFER, "controls of the offer")
    s.shot("offer again")
    s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), 1,
               "customersetting.xml is fetched at start-up only")
    s.check_eq(len(s.requests_for(customer_path(7))), 2, "customer.xml fetched per decision")

    s.step("another arrival while the offer shows: it stays")
    s.arrival()
    s.check_eq(s.popup()["visible"], True, "popup visible")
    s.check_eq(s.popup()["rect"], p["rect"], "popup rectangle")
    s.check_eq(s.visible_ids(), OFFER, "controls of the offer")

    s.step("close button hides it; the program keeps running")
    s.click(20000)
    s.wait_popup(visible=False, timeout=10)
    s.check(app.running(), "assistant still running")
