# A supported USB spotlight remote whose customer is not in customersetting.xml:
# the assistant stays running with its popup hidden, after fetching
# customersetting.xml by POST with the XML content type.
from qmx_e2e import (remote, usb_path, customersetting, customer_path, CUSTOMERSETTING_PATH)

REMOTES = [remote(usb_path("ad03", mi="00", col="03"), customer=7)]
SERVER = {CUSTOMERSETTING_PATH: customersetting({"CustomerID": 9})}
TIMEOUT = 60


def run(s):
    app = s.start()
    s.step("start-up finishes")
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.step("popup hidden, process running")
    p = s.popup()
    s.check(p["found"], "popup window exists")
    s.check_eq(p["visible"], False, "popup visible")
    s.check(app.running(), "assistant still running")
    s.step("the hidden popup's rectangle")
    r = p["rect"]
    s.check_eq((r["x"], r["y"], r["w"], r["h"]), (1419, 779, 500, 300), "popup rectangle (probe)")
    # Wine keeps an unmapped X window for the hidden popup.
    x = s.xwininfo()
    s.check(x is not None, "X window of the popup exists")
    s.check_eq((x["x"], x["y"], x["w"], x["h"], x["mapped"]), (1419, 779, 500, 300, False),
               "X window rectangle and map state (xwininfo)")
    s.step("customersetting.xml fetched by POST")
    reqs = s.requests_for(CUSTOMERSETTING_PATH)
    s.check_eq([(r["method"], r["content_type"]) for r in reqs],
               [("POST", "text/xml; charset=utf-8")], "customersetting.xml requests")
    s.check_eq(s.requests_for(customer_path(7)), [], "customer.xml requests")
    s.shot("hidden")
