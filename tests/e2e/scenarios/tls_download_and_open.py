# The road of one offer over HTTPS, in the testing exe of a TLS build: the
# download server's base address is plain HTTP and answers every request with
# a redirect to HTTPS (as CDNs do), which the document fetches follow; every
# server certificate is checked against the prefix's trusted roots (the test
# authority is one of them, as IT installs its own); the installer comes over
# HTTPS, and Open starts it.
import os

from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, trace_lines
import _download

TLS = True
REMOTES = _download.REMOTES
TIMEOUT = 120

INSTALLER_PATH = "/files/setup.exe"


def run(s):
    installer = _download.serve_installer_offer(s, INSTALLER_PATH)
    s.set_remotes(s.remotes, server=s.plain_server)

    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    _download.wait_state(s, _download.OFFER, "the offer", timeout=10)

    s.step("Download")
    s.click(_download.DOWNLOAD)
    _download.wait_state(s, _download.COMPLETED, "the completed state", timeout=40)
    s.check_eq(_download.read_installer(s), installer, "the downloaded installer")

    s.step("what went where")
    # The plain port only redirected; the HTTPS port served everything.
    seen = [(e["method"], e["path"], e["status"]) for e in s.access_log()]
    s.check_eq(seen, [("POST", CUSTOMERSETTING_PATH, 301), ("GET", CUSTOMERSETTING_PATH, 200),
                      ("POST", customer_path(_download.CUSTOMER), 301),
                      ("GET", customer_path(_download.CUSTOMER), 200),
                      ("POST", _download.DESCRIPTION_PATH, 200), ("GET", INSTALLER_PATH, 200)],
               "requests nginx answered")
    verified = [line for line in trace_lines(app) if line.startswith("TLS: localhost verified")]
    s.check_eq(len(verified), 4, "TLS connections verified (%s)" % verified)

    s.step("Open starts the installer")
    s.click(_download.OPEN)
    s.wait_popup(visible=False, timeout=10)
    log = _download.installer_path(s) + ".log"
    started = s.wait_until(lambda: os.path.exists(log) and open(log).read(),
                           "the installer to start", timeout=20)
    s.check("-qmx_normal" in started, "installer command line %r has -qmx_normal" % started)
