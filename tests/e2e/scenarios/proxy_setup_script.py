# A proxy setup script in the user's settings: WinHTTP runs it for each
# address and its answer sends the start-up's two documents through a real
# proxy (tinyproxy on loopback). When the script cannot be fetched, the
# documents go direct and the offer still comes.
from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, usb_path
import _proxy

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90

SCRIPT_PATH = "/proxy.pac"
SCRIPT = 'function FindProxyForURL(url, host) { return "PROXY %s"; }\n'


def offer_once(s):
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")


def run(s):
    proxy = _proxy.Proxy(s)
    try:
        s.put_document(SCRIPT_PATH, SCRIPT % proxy.address)
        s.step("the script's proxy carries the documents")
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.SETUP_SCRIPT, script=s.server + SCRIPT_PATH))
        offer_once(s)
        documents = [("POST", s.server + CUSTOMERSETTING_PATH), ("POST", s.server + customer_path(7))]
        s.check_eq(proxy.requests(), documents, "requests the proxy saw")

        s.step("no script to be had: direct")
        s.remove_document(SCRIPT_PATH)
        served = len(s.requests_for(CUSTOMERSETTING_PATH))
        offer_once(s)
        s.check_eq(proxy.requests(), documents, "requests the proxy saw")
        s.check_eq(len(s.requests_for(CUSTOMERSETTING_PATH)), served + 1,
                   "customersetting.xml requests nginx served")
    finally:
        _proxy.clear_user_proxy(s)
        proxy.stop()
