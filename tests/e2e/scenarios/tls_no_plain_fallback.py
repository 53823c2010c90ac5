# A TLS build never falls back to plain HTTP: an installer whose HTTPS
# address redirects to "http:" fails before the plain request is sent, and
# an installer description naming an "http:" address fails before any
# request; each leaves a trace line saying so, and the popup offers the
# download again.
from qmx_e2e import trace_lines
import _download

TLS = True
REMOTES = _download.REMOTES
TIMEOUT = 120

INSTALLER_PATH = "/files/setup.exe"


def refused_download(s, app, address, expected):
    s.put_document(_download.DESCRIPTION_PATH,
                   _download.description(address, _download.md5_hex(b"x")))
    s.click(_download.DOWNLOAD)
    _download.wait_state(s, _download.FAILED, "the failed state", timeout=40)
    s.check(any(line.startswith(expected) for line in trace_lines(app)),
            "a trace line starting %r" % expected)
    s.check_eq(s.requests_for(INSTALLER_PATH), [], "installer requests nginx answered")


def run(s):
    _download.serve_offer(s, _download.description(s.server + INSTALLER_PATH, "0"))
    s.put_document(INSTALLER_PATH, b"x")
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    _download.wait_state(s, _download.OFFER, "the offer", timeout=10)

    s.step("a redirect from HTTPS down to HTTP")
    down = s.server + "/to-plain" + INSTALLER_PATH
    refused_download(s, app, down, "TLS: redirect 302 from %s to %s refused"
                     % (down, s.plain_server + INSTALLER_PATH))

    s.step("an http: address in the installer description")
    plain = s.plain_server + INSTALLER_PATH
    refused_download(s, app, plain, "TLS: installer %s refused" % plain)
