# The user's manual proxy from the per-user Internet settings (written with
# reg, as Windows keeps them), beside "Automatically detect settings" with no
# WPAD server to find, as offices often have it: the customer settings, the
# customer document, the installer description and the installer all go
# through a real proxy (tinyproxy on loopback), requested as "http:" although
# the documents say "https:". The setting lists a proxy that cannot be
# reached first (with a login whose password the trace never shows): each
# request walks on to the next entry, as Windows does. A second start whose installer lies on a host
# of the bypass list fetches it direct, while the documents still go through
# the proxy. A bypass entry that is only a parent domain of the installer's
# host bypasses nothing, as in Windows. A proxy that asks for a login fails
# the start-up load cleanly; once the setting is gone, an arrival brings the
# offer.
import os
import socket

from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, trace_lines, \
    usb_path
import _download
import _proxy

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 240

DIR_PATH = "/dl/"
INSTALLER_PATH = "/files/setup.exe"
BYPASS = "*.invalid;localhost;intra"
TRACE = {"WINEDEBUG": "-all,warn+seh"}


def download(s):
    app = _download.start_with_offer(s, env=TRACE)
    s.click(_download.DOWNLOAD)
    _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")
    return app


def run(s):
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        unreachable = "desk:secret@127.0.0.1:%d" % sock.getsockname()[1]
    installer = _download.standin_bytes(s)
    https = s.server.replace("http:", "https:", 1)
    for path, content in offer_documents(customer=7, url_directory=https + DIR_PATH).items():
        s.put_document(path, content)
    s.put_document(INSTALLER_PATH, installer)
    md5 = _download.md5_hex(installer)

    # Requests for hosts under "intra" reach the scenario's nginx through the
    # proxy only: they have no address of their own.
    proxy = _proxy.Proxy(s, upstream={"intra": "127.0.0.1:%d" % s.port})
    try:
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY | _proxy.AUTO_DETECT,
            unreachable + ";" + proxy.address, BYPASS))

        s.step("automatic detection finds nothing: every transfer goes through the manual proxy")
        s.put_document(DIR_PATH + "orvanteer.xml",
                       _download.description(https + INSTALLER_PATH, md5))
        app = download(s)
        documents = [("POST", s.server + CUSTOMERSETTING_PATH),
                     ("POST", s.server + customer_path(7)),
                     ("POST", s.server + DIR_PATH + "orvanteer.xml")]
        expected = documents + [("GET", s.server + INSTALLER_PATH)]
        s.check_eq(proxy.requests(), expected, "requests the proxy saw")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
        routes = [line for line in trace_lines(app) if line.startswith("proxy for ")]
        s.check_eq(len(routes), 4, "proxy decisions in the trace")
        s.check(all("(no automatic answer, manual setting)" in line for line in routes),
                "automatic detection asked first: %r" % routes)
        walked = "proxy route http://desk@%s cannot be reached: trying http://%s" % (
            unreachable.split("@")[1], proxy.address)
        s.check_eq(trace_lines(app).count(walked), 4, "requests that walked on to the next proxy")
        s.check(not any("secret" in line for line in trace_lines(app)), "a password in the trace")

        s.step("an installer on a bypassed host comes direct")
        bypassed = "https://localhost:%d%s" % (s.port, INSTALLER_PATH)
        s.put_document(DIR_PATH + "orvanteer.xml", _download.description(bypassed, md5))
        os.unlink(_download.installer_path(s))
        download(s)
        expected += documents
        s.check_eq(proxy.requests(), expected, "requests the proxy saw")
        s.check_eq(len(s.requests_for(INSTALLER_PATH)), 2, "installer requests nginx served")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")

        s.step("a parent domain on the bypass list does not bypass its hosts")
        in_domain = "http://dl.intra" + INSTALLER_PATH
        s.put_document(DIR_PATH + "orvanteer.xml", _download.description(in_domain, md5))
        os.unlink(_download.installer_path(s))
        download(s)
        expected += documents + [("GET", in_domain)]
        s.check_eq(proxy.requests(), expected, "requests the proxy saw")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
    finally:
        _proxy.clear_user_proxy(s)
        proxy.stop()

    s.step("a proxy that asks for a login: the start-up load fails")
    guarded = _proxy.Proxy(s, login="desk secret", name="tinyproxy-login")
    try:
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, guarded.address))
        app = s.start(env=TRACE)
        s.check_eq(s.wait_settled(app), "running", "after start-up")
        expected = "proxy http://%s asks for a login (407)" % guarded.address
        s.wait_until(lambda: any(line.startswith(expected) for line in trace_lines(app)),
                     "the trace line %r" % expected, timeout=20)
        s.check_eq(s.popup()["visible"], False, "popup visible")

        s.step("the proxy setting is gone: an arrival brings the offer")
        _proxy.clear_user_proxy(s)
        s.arrival()
        _download.wait_state(s, _download.OFFER, "the offer", timeout=10)
        s.check_eq(guarded.requests(), [("POST", s.server + CUSTOMERSETTING_PATH)],
                   "requests the login proxy saw")
    finally:
        _proxy.clear_user_proxy(s)
        guarded.stop()
