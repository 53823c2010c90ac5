"""A machine of a scenario's own, for the scenarios that need a network
name: a module setting

    NAMESPACE = {"host": "desk.qmx.test", "dns": {"wpad.qmx.test": "127.0.0.1"}}

makes run_scenario.py run that scenario in new UTS, network and mount
namespaces (unshare, as root). Inside, the host name is "host" (so Wine's
DNS domain is the part after its first dot), the network is loopback only
(nothing the scenario starts reaches out), /etc/hosts maps the host name,
/tmp/.X11-unix is a folder of its own, and /etc/resolv.conf names a DNS
server on 127.0.0.1:53 that answers the "dns" names (A records) and
nothing else. Wine looks a WPAD server up in DNS
only, never in /etc/hosts, hence the server. Every process of the scenario
(Xvfb, wineserver, nginx, squid) starts inside; the namespaces end with the
last of them, and the mounts never show outside.
"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading

INSIDE = "QMX_E2E_NAMESPACE"  # set in the re-executed runner
DNS_PORT = 53
TTL_S = 60
TYPE_A, CLASS_IN = 1, 1
NXDOMAIN = 3
X_SOCKETS = "/tmp/.X11-unix"


def command(args):
    """The command line that runs the runner with `args` in new namespaces."""
    return ["unshare", "--uts", "--net", "--mount", "--propagation", "private",
            sys.executable] + args


def inside():
    return os.environ.get(INSIDE) == "1"


def _answer(query, names):
    """The answer to one DNS query, or None for a packet that is none."""
    if len(query) < 12:
        return None
    ident, flags, count = struct.unpack(">HHH", query[:6])
    if flags & 0x8000 or count != 1:
        return None
    labels, at = [], 12
    while at < len(query) and query[at]:
        size = query[at]
        labels.append(query[at + 1:at + 1 + size].decode("ascii", "replace"))
        at += 1 + size
    if at + 5 > len(query):
        return None
    qtype, qclass = struct.unpack(">HH", query[at + 1:at + 5])
    question = query[12:at + 5]
    address = names.get(".".join(labels).lower())
    rcode = 0 if address else NXDOMAIN
    answers = b""
    if address and qtype == TYPE_A and qclass == CLASS_IN:
        # The name by a pointer to the question's.
        answers = struct.pack(">HHHIH", 0xC00C, TYPE_A, CLASS_IN, TTL_S, 4) + \
            socket.inet_aton(address)
    header = struct.pack(">HHHHHH", ident, 0x8180 | rcode, 1, 1 if answers else 0, 0, 0)
    return header + question + answers


def _serve_dns(sock, names):
    while True:
        query, peer = sock.recvfrom(512)
        reply = _answer(query, names)
        if reply:
            sock.sendto(reply, peer)


def enter(setting):
    """Set up the namespaces the runner was started in (see command())."""
    host = setting["host"]
    names = {name.lower(): address for name, address in setting.get("dns", {}).items()}
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    subprocess.run(["hostname", host], check=True)
    folder = tempfile.mkdtemp(prefix="qmx-namespace-")
    files = {
        # The host name on an address of its own, so that its canonical
        # name is the full one (Debian's way).
        "/etc/hosts": "127.0.0.1 localhost\n127.0.1.1 %s %s\n" % (host, host.split(".")[0]),
        "/etc/resolv.conf": "nameserver 127.0.0.1\n",
    }
    for target, text in files.items():
        path = os.path.join(folder, os.path.basename(target))
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o644)
        subprocess.run(["mount", "--bind", path, target], check=True)
    shutil.rmtree(folder)  # the mounts keep the files
    # Xvfb's socket file: outside, another lane's X server may have the
    # same display number (the abstract sockets are the network's).
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=1777", "tmpfs", X_SOCKETS], check=True)
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", DNS_PORT))
    threading.Thread(target=_serve_dns, args=(sock, names), daemon=True).start()
