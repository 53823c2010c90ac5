# The user's manual proxy from the per-user Internet settings (written with
# reg, as Windows keeps them): the customer settings, the customer document,
# the installer description and the installer all go through a real proxy
# (tinyproxy on loopback), requested as "http:" although the documents say
# "https:". A second start whose installer lies on a host of the bypass list
# fetches it direct, while the documents still go through the proxy.
import os

from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, usb_path
import _download
import _proxy

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 150

DIR_PATH = "/dl/"
INSTALLER_PATH = "/files/setup.exe"
BYPASS = "*.invalid;localhost"


def download(s):
    app = _download.start_with_offer(s)
    s.click(_download.DOWNLOAD)
    _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")


def run(s):
    installer = _download.standin_bytes(s)
    https = s.server.replace("http:", "https:", 1)
    for path, content in offer_documents(customer=7, url_directory=https + DIR_PATH).items():
        s.put_document(path, content)
    s.put_document(INSTALLER_PATH, installer)
    md5 = _download.md5_hex(installer)

    proxy = _proxy.Proxy(s)
    try:
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, proxy.address, BYPASS))

        s.step("every transfer goes through the proxy")
        s.put_document(DIR_PATH + "orvanteer.xml",
                       _download.description(https + INSTALLER_PATH, md5))
        download(s)
        expected = [("POST", s.server + CUSTOMERSETTING_PATH),
                    ("POST", s.server + customer_path(7)),
                    ("POST", s.server + DIR_PATH + "orvanteer.xml"),
                    ("GET", s.server + INSTALLER_PATH)]
        s.check_eq(proxy.requests(), expected, "requests the proxy saw")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")

        s.step("an installer on a bypassed host comes direct")
        bypassed = "https://localhost:%d%s" % (s.port, INSTALLER_PATH)
        s.put_document(DIR_PATH + "orvanteer.xml", _download.description(bypassed, md5))
        os.unlink(_download.installer_path(s))
        download(s)
        s.check_eq(proxy.requests(), expected + expected[:3], "requests the proxy saw")
        s.check_eq(len(s.requests_for(INSTALLER_PATH)), 2, "installer requests nginx served")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
    finally:
        _proxy.clear_user_proxy(s)
        proxy.stop()
