# The user's manual proxy from the per-user Internet settings (the value
# Windows keeps, Connections\DefaultConnectionSettings, written with reg):
# the customer settings, the customer document, the installer description
# and the installer all go through a real proxy (tinyproxy on loopback),
# requested as "http:" although the documents say "https:". A second start
# whose installer lies on a host of the bypass list fetches it direct, while
# the documents still go through the proxy.
import os
import struct
import subprocess

from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, usb_path
import _download

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 150

DIR_PATH = "/dl/"
INSTALLER_PATH = "/files/setup.exe"
SETTINGS_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
BYPASS = "*.invalid;localhost"


def connection_settings(proxy, bypass):
    """The DefaultConnectionSettings blob: version, counter, flags (direct |
    manual proxy), then the proxy and the bypass list and an empty script
    address, each as a length and ANSI text."""
    def text(value):
        data = value.encode("ascii")
        return struct.pack("<I", len(data)) + data
    return (struct.pack("<III", 0x46, 0, 0x01 | 0x02) + text(proxy) + text(bypass) + text("")
            + bytes(32))


def reg(s, *args, check=True):
    r = subprocess.run(["wine", "reg"] + list(args), env=s.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    if check:
        s.check(r.returncode == 0, "reg %s: %s" % (args[0], r.stdout.decode(errors="replace")))


def start_proxy(s):
    port = s.free_port()
    log = os.path.join(s.work, "tinyproxy.log")
    conf = os.path.join(s.work, "tinyproxy.conf")
    with open(conf, "w") as f:
        f.write("Port %d\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\n"
                'LogLevel Info\nLogFile "%s"\n' % (port, log))
    proc = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return proc, port, log


def proxied(log):
    """(method, URL) of every request the proxy saw."""
    out = []
    with open(log, errors="replace") as f:
        for line in f:
            if "]: Request (file descriptor" in line:
                method, url = line.split("): ", 1)[1].split()[:2]
                out.append((method, url))
    return out


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

    proxy, port, log = start_proxy(s)
    try:
        s.wait_until(lambda: os.path.exists(log) and "Accepting connections" in open(log).read(),
                     "tinyproxy to listen", timeout=20)
        reg(s, "add", SETTINGS_KEY, "/v", "DefaultConnectionSettings", "/t", "REG_BINARY", "/d",
            connection_settings("127.0.0.1:%d" % port, BYPASS).hex(), "/f")

        s.step("every transfer goes through the proxy")
        s.put_document(DIR_PATH + "orvanteer.xml",
                       _download.description(https + INSTALLER_PATH, md5))
        download(s)
        expected = [("POST", s.server + CUSTOMERSETTING_PATH),
                    ("POST", s.server + customer_path(7)),
                    ("POST", s.server + DIR_PATH + "orvanteer.xml"),
                    ("GET", s.server + INSTALLER_PATH)]
        s.check_eq(proxied(log), expected, "requests the proxy saw")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")

        s.step("an installer on a bypassed host comes direct")
        bypassed = "https://localhost:%d%s" % (s.port, INSTALLER_PATH)
        s.put_document(DIR_PATH + "orvanteer.xml", _download.description(bypassed, md5))
        os.unlink(_download.installer_path(s))
        download(s)
        s.check_eq(proxied(log), expected + expected[:3], "requests the proxy saw")
        s.check_eq(len(s.requests_for(INSTALLER_PATH)), 2, "installer requests nginx served")
        s.check_eq(_download.read_installer(s), installer, "the downloaded installer")
    finally:
        # The prefix outlives the scenario: the next one must find no proxy.
        reg(s, "delete", SETTINGS_KEY, "/v", "DefaultConnectionSettings", "/f", check=False)
        proxy.terminate()
        proxy.wait(10)
