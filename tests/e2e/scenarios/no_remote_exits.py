# Without a supported remote the assistant ends after its scan with exit
# code 0 and asks the server for nothing: no device at all, then only
# unsupported HID devices (another vendor, a supported id whose letters
# differ in case, a Bluetooth-LE remote without its collection 03).
from qmx_e2e import remote, usb_path, ble_path, offer_documents

SERVER = offer_documents(customer=7)
TIMEOUT = 90

UNSUPPORTED = [
    remote(usb_path("c52b", vid="046d", mi="02", col="01")),
    remote(usb_path("AD03", vid="1D57")),
    remote(ble_path(col="01")),
    remote(ble_path(col="02")),
    remote(usb_path("ad07", mi="02", col="01")),  # the collection-less fragment needs "mi_02#"
]


def run(s):
    for label, remotes in (("no HID device", []), ("unsupported devices only", UNSUPPORTED)):
        s.step("%s: exits after the scan" % label)
        s.set_remotes(remotes)
        scans = s.watch_remote_reads()
        app = s.start()
        s.check_eq(s.wait_exit(app), 0, "exit code")
        s.check(scans.count() >= 1, "the remote description was read (a scan happened)")
        s.check_eq(s.access_log(), [], "requests to the server")
