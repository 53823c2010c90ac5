# The customer-number exchange with the remote, end to end: a first write that
# fails is sent again and a late reply still counts (the offer shows); both
# writes failing, a remote that never answers, a reply with a wrong header and
# a remote that cannot be opened all end without an offer. Customer 0 is a
# real customer whose document lies in folder customer000.
from qmx_e2e import remote, usb_path, offer_documents, customer_path

SERVER = {}
for _customer in (0, 7):
    SERVER.update(offer_documents(customer=_customer))
# Both customers in one customersetting.xml.
from qmx_e2e import customersetting, CUSTOMERSETTING_PATH  # noqa: E402
SERVER[CUSTOMERSETTING_PATH] = customersetting({"CustomerID": 0}, {"CustomerID": 7})
TIMEOUT = 150
PATH = usb_path("ad04")

CASES = [  # label, remote, offer shown, customer.xml fetched for
    ("first write fails, reply on the fourth read",
     remote(PATH, customer=7, write_fail=1, reply_after=3), True, 7),
    ("customer 0", remote(PATH, customer=0), True, 0),
    ("both writes fail", remote(PATH, customer=7, write_fail=2), False, None),
    ("no reply", remote(PATH, reply="none"), False, None),
    ("wrong reply header", remote(PATH, reply="03 21 05 00 00 00 00 07"), False, None),
    ("cannot be opened", remote(PATH, customer=7, opens=False), False, None),
]


def run(s):
    for label, r, offered, fetched in CASES:
        s.step(label)
        s.set_remotes([r])
        before = {n: len(s.requests_for(customer_path(n))) for n in (0, 7)}
        app = s.start()
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        s.check_eq(s.popup()["visible"], offered, "popup visible")
        for n in (0, 7):
            s.check_eq(len(s.requests_for(customer_path(n))) - before[n], 1 if n == fetched else 0,
                       "customer%03d.xml requests" % n)
        if offered:
            s.shot(label.replace(" ", "-").replace(",", ""))
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
