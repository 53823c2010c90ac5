# Which remotes count and which family they belong to, seen end to end. The
# customer gets the offer for simple models only, so the popup shows exactly
# when a remote was found and recognised as a simple model; a Bluetooth-LE
# remote is opened through its collection 03 only (its other collections
# never answer here, so choosing one of them would show no offer).
from qmx_e2e import remote, usb_path, ble_path, offer_documents

SERVER = offer_documents(customer=7, setting={"SimplePopup_En": "True",
                                              "SpotlightPopup_En": "False"})
TIMEOUT = 120

CASES = [
    ("USB spotlight", [remote(usb_path("ad03", mi="00", col="03"), customer=7)], False),
    ("USB simple", [remote(usb_path("ac01", mi="00", col="03"), customer=7)], True),
    ("USB without collections (spotlight)", [remote(usb_path("ad07", mi="02", col=None), customer=7)],
     False),
    ("USB simple behind an unsupported device",
     [remote(usb_path("c52b", vid="046d", mi="00", col="01"), reply="none"),
      remote(usb_path("ac02", mi="01", col="02"), customer=7)], True),
]

BLE_SETTING = offer_documents(customer=7, setting={"SimplePopup_En": "False",
                                                   "SpotlightPopup_En": "True"})
BLE = [remote(ble_path(col="01"), reply="none"),
       remote(ble_path(col="02"), reply="none"),
       remote(ble_path(col="03"), customer=7),
       remote(ble_path(col="04"), reply="none")]


def one(s, label, remotes, offered):
    s.step("%s: stays running, popup %s" % (label, "shown" if offered else "hidden"))
    s.set_remotes(remotes)
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.check_eq(s.popup()["visible"], offered, "popup visible")
    if offered:
        s.shot(label)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")


def run(s):
    for label, remotes, offered in CASES:
        one(s, label, remotes, offered)
    for path, content in BLE_SETTING.items():
        s.put_document(path, content)
    one(s, "Bluetooth-LE spotlight, four collections", BLE, True)
