"""Shared pieces of the proxy scenarios: a real HTTP proxy (tinyproxy) on a
loopback port of the scenario's range, whose log says which requests went
through it, and the per-user Internet settings value that WinHTTP reads
(Connections\\DefaultConnectionSettings), written and removed with reg.
"""
import os
import struct
import subprocess

SETTINGS_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"
SETTINGS_VALUE = "DefaultConnectionSettings"

# Flags of the settings value.
DIRECT, MANUAL_PROXY, SETUP_SCRIPT, AUTO_DETECT = 0x01, 0x02, 0x04, 0x08


def connection_settings(flags, proxy="", bypass="", script=""):
    """The settings value: version, change counter and flags, then the proxy,
    the bypass list and the setup-script address, each as a length and ANSI
    text, and the zeros Windows ends it with."""
    def text(value):
        data = value.encode("ascii")
        return struct.pack("<I", len(data)) + data
    return (struct.pack("<III", 0x46, 0, flags) + text(proxy) + text(bypass) + text(script)
            + bytes(32))


def _reg(s, *args):
    return subprocess.run([s.wine, "reg"] + list(args), env=s.env(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)


def set_user_proxy(s, value):
    r = _reg(s, "add", SETTINGS_KEY, "/v", SETTINGS_VALUE, "/t", "REG_BINARY", "/d", value.hex(),
             "/f")
    s.check(r.returncode == 0, "reg add: %s" % r.stdout.decode(errors="replace"))


def clear_user_proxy(s):
    # The prefix outlives the scenario: the next one must find no proxy.
    _reg(s, "delete", SETTINGS_KEY, "/v", SETTINGS_VALUE, "/f")


class Proxy:
    """tinyproxy on a free port of the scenario's range; stop() it in a
    finally block. connect_ports: the ports it tunnels to with CONNECT
    (HTTPS); none by default. upstream: {domain: "host:port"}, requests for
    hosts of that domain are handed to that address as to a further proxy
    (nginx serves such requests as its own, so made-up host names reach the
    scenario's server). login: "user password" makes it ask every request
    for a login (407)."""

    def __init__(self, s, connect_ports=(), upstream=None, login=None, name="tinyproxy"):
        self.port = s.free_port()
        self.address = "127.0.0.1:%d" % self.port
        self.log = os.path.join(s.work, name + ".log")
        conf = os.path.join(s.work, name + ".conf")
        with open(conf, "w") as f:
            f.write("Port %d\nListen 127.0.0.1\nTimeout 60\nMaxClients 20\nAllow 127.0.0.1\n"
                    'LogLevel Info\nLogFile "%s"\n' % (self.port, self.log))
            f.writelines("ConnectPort %d\n" % port for port in connect_ports)
            f.writelines('Upstream http %s ".%s"\n' % (to, domain)
                         for domain, to in (upstream or {}).items())
            if login:
                f.write("BasicAuth %s\n" % login)
        self._proc = subprocess.Popen(["tinyproxy", "-d", "-c", conf], stdin=subprocess.DEVNULL,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        s.wait_until(lambda: "Accepting connections" in self._log_text(), "tinyproxy to listen",
                     timeout=20)

    def _log_text(self):
        try:
            with open(self.log, errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def requests(self):
        """(method, URL) of every request the proxy was asked for."""
        out = []
        for line in self._log_text().splitlines():
            if "]: Request (file descriptor" in line:
                method, url = line.split("): ", 1)[1].split()[:2]
                out.append((method, url))
        return out

    def stop(self):
        self._proc.terminate()
        self._proc.wait(10)
