"""End-to-end rig for QmxAssistant: runs the real exe under Wine on its own
Xvfb screen, serves its documents with a real nginx on a loopback port,
describes the simulated remotes it sees, and drives and reads its popup from
outside with qmxprobe.exe (tools/probe).

A scenario is a Python file under tests/e2e/scenarios/ with a few module-level
settings and a run(s) function; run_scenario.py loads it and hands it a
Scenario object (below). docs/testing.md is the guide for writing one.

Everything the rig starts (Xvfb, nginx, wineserver and the Wine processes in
its prefix) is stopped when the scenario ends, passes, fails or is
interrupted. One Wine prefix per build folder is shared by all scenarios and
serialised with a lock file; the state a scenario leaves in it (the
assistant's folder, its APPDATA folder, programs put under Program Files) is
removed before the next one starts.
"""

import ctypes
import ctypes.util
import fcntl
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import tls_certs

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TOOLS = os.path.join(TOP, "tools")

DEFAULT_PORTS = "18600-18699"
# Generous upper bounds: start-up alone waits 1000 ms + 1000 ms by design,
# and Wine adds its own start-up on a busy machine.
STARTUP_BOUND_S = 40
EXIT_BOUND_S = 40

HID_CLASS = "{4d1e55b2-f16f-11cf-88cb-001111000030}"
CUSTOMERSETTING_PATH = "/downloads/orvanteer/windows/customersetting.xml"

# WM_NCHITTEST results.
HT = {"caption": 2, "left": 10, "right": 11, "top": 12, "topleft": 13,
      "topright": 14, "bottom": 15, "bottomleft": 16, "bottomright": 17}


class ScenarioFailure(Exception):
    pass


# ---- remotes and documents ------------------------------------------------

# The assistant's Group Policy key, under HKLM and HKCU, and how Wine's
# registry files (system.reg, user.reg) name it.
POLICY_VENDOR_KEY = r"Software\Policies\Valdry"
POLICY_KEY = POLICY_VENDOR_KEY + r"\QmxAssistant"
POLICY_KEY_IN_FILE = r"[software\\policies\\valdry"


def usb_path(pid, mi="00", col="03", vid="1d57", instance="7&1a2b3c4d&0&0000"):
    """A USB HID interface path as SetupAPI reports it; col=None for an
    interface without collections."""
    middle = "vid_%s&pid_%s&mi_%s" % (vid, pid, mi)
    if col is not None:
        middle += "&col%s" % col
    return "\\\\?\\hid#%s#%s#%s" % (middle, instance, HID_CLASS)


def ble_path(col="03", vid="1d57", pid="ad09", rev="0001", mac="e0d5c9c5a9c4",
             instance="9&1b8f8e4&0&0000"):
    """A Bluetooth-LE HID collection path (HOGP service 1812)."""
    return ("\\\\?\\hid#{00001812-0000-1000-8000-00805f9b34fb}_dev_vid&02%s_pid&%s_rev&%s_%s"
            "&col%s#%s#%s" % (vid, pid, rev, mac, col, instance, HID_CLASS))


def remote(path, customer=7, opens=True, write_fail=0, reply_after=0, reply=None):
    """One simulated remote. reply: None = the customer reply carrying
    `customer`, "none" = never answers, or a hex byte string."""
    if reply is None:
        reply = "03 21 04 00 00 00 00 %02x" % (customer & 0xFF)
    return {"path": path, "open": opens, "write_fail": write_fail,
            "reply_after": reply_after, "reply": reply}


def _xml_text(value):
    return (str(value).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;"))


def xml_option(root="Option", **values):
    """<Option><Key>value</Key>...</Option> with the keys in the given order."""
    body = "".join("  <%s>%s</%s>\n" % (k, _xml_text(v), k) for k, v in values.items())
    return '<?xml version="1.0" encoding="utf-8"?>\n<%s>\n%s</%s>\n' % (root, body, root)


def customersetting(*items):
    """customersetting.xml from dicts such as {"CustomerID": 7, "SimplePopup_En": "False"}."""
    out = ['<?xml version="1.0" encoding="utf-8"?>', "<Items>"]
    for item in items:
        out.append("  <Item>")
        out.extend("    <%s>%s</%s>" % (k, _xml_text(v), k) for k, v in item.items())
        out.append("  </Item>")
    out.append("</Items>")
    return "\n".join(out) + "\n"


def customer_path(number):
    return "/downloads/orvanteer/customers/customer%03d/windows/customer.xml" % number


# ---- small helpers ----------------------------------------------------------

def offer_documents(customer=7, app_dir_name="Orvanteer", url_directory=None, setting=None,
                    **texts):
    """Server documents that make a remote of `customer` get the download
    offer: customersetting.xml listing it and its customer.xml. Extra
    keyword arguments become elements of customer.xml (English1="...")."""
    if not texts:
        texts = {"English1": "Orvanteer Assistant", "English2": "Download the presenter now?"}
    item = {"CustomerID": customer}
    item.update(setting or {})
    url = url_directory or "https://download.example/downloads/orvanteer/customers/customer%03d/windows/" % customer
    return {CUSTOMERSETTING_PATH: customersetting(item),
            customer_path(customer): xml_option(UrlDirectory=url, AppDirName=app_dir_name, **texts)}


class OpenWatch:
    """Counts the times a file is opened (by any process), with inotify.
    The testing exe opens the remote description at every device scan."""
    IN_OPEN = 0x20

    def __init__(self, path):
        self._libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)
        self._fd = self._libc.inotify_init1(os.O_NONBLOCK)
        if self._fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        if self._libc.inotify_add_watch(self._fd, path.encode(), self.IN_OPEN) < 0:
            raise OSError(ctypes.get_errno(), "inotify_add_watch " + path)
        self._count = 0

    def count(self):
        while True:
            try:
                data = os.read(self._fd, 4096)
            except BlockingIOError:
                return self._count
            pos = 0
            while pos + 16 <= len(data):  # struct inotify_event: 4 ints + name
                name_len = int.from_bytes(data[pos + 12:pos + 16], sys.byteorder)
                self._count += 1
                pos += 16 + name_len

    def close(self):
        if self._fd >= 0:
            os.close(self._fd)
            self._fd = -1


def lane_ports(lane):
    """The loopback port range of a lane: DEFAULT_PORTS for lane 0, then
    ranges of the same size clear of it and of the demo's."""
    lo, hi = (int(p) for p in DEFAULT_PORTS.split("-"))
    step = 2 * (hi - lo + 1) if lane else 0
    return "%d-%d" % (lo + step * lane, hi + step * lane)


def _free_port(port_range):
    lo, hi = (int(p) for p in port_range.split("-"))
    for port in range(lo, hi + 1):
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as sock:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                sock.bind(("127.0.0.1", port))
            except OSError:
                continue
            return port
    raise ScenarioFailure("no free port in %s" % port_range)


def _kill_pid(pid):
    try:
        os.kill(pid, signal.SIGTERM)
    except (ProcessLookupError, PermissionError):
        return
    for _ in range(50):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def pe_arch(exe):
    """"x64" for a PE32+ x86-64 exe, "x86" for an i386 one (the machine
    field of its PE header), None when the file is missing or not a PE."""
    try:
        with open(exe, "rb") as f:
            head = f.read(4096)
        pe = int.from_bytes(head[0x3C:0x40], "little")
        if head[pe:pe + 4] != b"PE\0\0":
            return None
        machine = int.from_bytes(head[pe + 4:pe + 6], "little")
    except (OSError, ValueError):
        return None
    return {0x8664: "x64", 0x14C: "x86"}.get(machine)


# The Wine loader of each tree's architecture. The wine wrapper picks the
# 32-bit loader whenever wine32 is installed, so a 64-bit tree names the
# 64-bit loader by its own path.
WINE_LOADER = {"x86": "wine", "x64": "/usr/lib/wine/wine64"}


def win_path(host_path):
    """Z:\\... path of a Linux path (Wine maps / to Z:)."""
    return "Z:" + os.path.abspath(host_path).replace("/", "\\")


class App:
    """One started copy of the assistant (a wine process)."""

    def __init__(self, proc, name, log_path):
        self.proc, self.name, self.log_path = proc, name, log_path

    def running(self):
        return self.proc.poll() is None

    @property
    def exit_code(self):
        return self.proc.poll()

    def output(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace")


_TRACE_LINE = re.compile(r'OutputDebugStringA "QmxAssistant: (.*?)(?:\\n)?"$')


def trace_lines(app):
    """The support trace of an App started with WINEDEBUG "-all,warn+seh":
    each OutputDebugString line shows on its standard error as
    warn:seh:OutputDebugStringA "QmxAssistant: ..."."""
    return [m.group(1) for m in map(_TRACE_LINE.search, app.output().splitlines()) if m]


def memory_peak_kb(image_name):
    """Peak resident memory (VmHWM, KiB) of the Wine process whose command
    line names image_name, seen from Linux; None when there is none."""
    peak = None
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                cmdline = f.read().decode("utf-8", "replace").lower()
            if image_name.lower() not in cmdline or "qmxprobe" in cmdline:
                continue
            with open("/proc/%s/status" % pid) as f:
                for line in f:
                    if line.startswith("VmHWM:"):
                        kb = int(line.split()[1])
                        peak = kb if peak is None else max(peak, kb)
        except (OSError, ValueError):
            continue
    return peak


class Scenario:
    """The object a scenario's run(s) works with. Module settings of the
    scenario file arrive as attributes (s.screen, s.locale, ...)."""

    def __init__(self, name, module, build_dir, ports=None, verbose=False, lane=0):
        self.name = name
        self.build_dir = os.path.abspath(build_dir)
        self.verbose = verbose
        self.screen = tuple(getattr(module, "SCREEN", (1920, 1080)))
        self.locale = getattr(module, "LOCALE", "en_US.UTF-8")
        self.exe_name = getattr(module, "EXE", "QmxAssistant.exe")
        self.flavor = getattr(module, "FLAVOR", "sim")
        self.ini = getattr(module, "INI", None)
        stem = re.sub(r"(?i)\.exe$", "", self.exe_name)
        self.ini_name = getattr(module, "INI_NAME", stem + ".ini")
        self.app_dir_win = getattr(module, "APP_DIR", "C:\\QmxAssistant")
        self.server_docs = dict(getattr(module, "SERVER", {}) or {})
        self.remotes = list(getattr(module, "REMOTES", []) or [])
        self.workarea = getattr(module, "WORKAREA", None)
        self.signing_key = None  # the testing exe's built-in key (set_signing_key)
        self.high_contrast = False  # forced high contrast (set_high_contrast)
        self._sim_server = None  # the server set_remotes named last (None: nginx)
        # Scenarios of different lanes run at the same time, each lane with
        # a prefix and a port range of its own.
        self.ports = ports or os.environ.get("QMX_E2E_PORTS") or lane_ports(lane)
        # TLS = True: nginx answers HTTPS on the server port with a certificate
        # for "localhost" from a fresh test authority that the prefix trusts
        # for the scenario's length (the testing exe of a QMX_TLS tree).
        self.tls = bool(getattr(module, "TLS", False))
        self.authority = None  # tls_certs.Authority of a TLS scenario
        self.plain_port = None  # its plain-HTTP port, redirecting up to HTTPS
        self._trusted = []

        self.e2e_dir = os.path.join(self.build_dir, "e2e")
        self.prefix = os.environ.get("QMX_E2E_PREFIX") or os.path.join(
            self.e2e_dir, "prefix" if lane == 0 else "prefix-%d" % lane)
        self.work = os.path.join(self.e2e_dir, "work", name)
        self.shots_dir = os.path.join(self.e2e_dir, "shots", name)
        self.docroot = os.path.join(self.work, "docroot")
        self.nginx_run = os.path.join(self.work, "nginx")
        self.sim_file = os.path.join(self.work, "remotes.txt")
        # What a run started, for the next run to clean up after a kill -9.
        self._state_path = self.prefix + ".running.json"

        self.probe_exe = os.path.join(self.build_dir, "tools", "qmxprobe.exe")
        self.standin_exe = os.path.join(self.build_dir, "tests", "standin", "qmx_standin.exe")
        self.rootstore_exe = os.path.join(self.build_dir, "tools", "qmx_rootstore.exe")
        exe = "QmxAssistantSim.exe" if self.flavor == "sim" else "QmxAssistant.exe"
        self.source_exe = os.path.join(self.build_dir, exe)
        # A tree's exes are of one architecture: x86 runs under wine32 in a
        # win32 prefix, x64 under wine64 in a win64 prefix.
        self.arch = pe_arch(self.probe_exe) or "x86"
        self.wine = WINE_LOADER[self.arch]

        self.display = None
        self.port = None
        self._xvfb = None
        self._lock = None
        self._apps = []
        self._step = "setup"
        self._shot_no = 0
        self._extra_procs = []
        self._watches = []
        self._scratch = []
        self._wine_up = False
        self._policy_set = False  # a policy key was written: removed at the end

    # ---- paths inside the prefix ------------------------------------------

    def host_path(self, windows_path):
        """Linux path of a C:\\ path inside the prefix."""
        p = windows_path.replace("\\", "/")
        if re.match(r"^[cC]:", p):
            return os.path.join(self.prefix, "drive_c", p[2:].lstrip("/"))
        if re.match(r"^[zZ]:", p):
            return p[2:]
        raise ValueError("not a C: or Z: path: %s" % windows_path)

    @property
    def user_dir(self):
        users = os.path.join(self.prefix, "drive_c", "users")
        name = os.environ.get("USER") or "root"
        if not os.path.isdir(os.path.join(users, name)):
            cands = [d for d in os.listdir(users) if d != "Public"] if os.path.isdir(users) else []
            name = cands[0] if cands else name
        return os.path.join(users, name)

    @property
    def appdata(self):
        """Host path of %APPDATA% (the roaming folder)."""
        return os.path.join(self.user_dir, "AppData", "Roaming")

    @property
    def program_files_win(self):
        """The 32-bit program-files folder (CSIDL_PROGRAM_FILESX86): "C:\\Program
        Files" in a win32 prefix, "C:\\Program Files (x86)" in a win64 one, as on
        Windows."""
        return "C:\\Program Files (x86)" if self.arch == "x64" else "C:\\Program Files"

    @property
    def program_files(self):
        """Host path of program_files_win."""
        return self.host_path(self.program_files_win)

    @property
    def app_dir(self):
        return self.host_path(self.app_dir_win)

    @property
    def server(self):
        if self.tls:
            # A name, not an address: certificates name their host.
            return "https://localhost:%d" % self.port
        return "http://127.0.0.1:%d" % self.port

    @property
    def plain_server(self):
        """A TLS scenario's plain-HTTP address, whose every answer is a
        redirect to the same path on the HTTPS server."""
        return "http://localhost:%d" % self.plain_port

    # ---- environment --------------------------------------------------------

    def env(self, extra=None):
        e = dict(os.environ)
        e.update({
            "DISPLAY": self.display or "",
            "LANG": self.locale, "LC_ALL": self.locale, "LANGUAGE": "",
            "WINEPREFIX": self.prefix, "WINEARCH": "win64" if self.arch == "x64" else "win32",
            "QMX_WINDOWS_ARCH": self.arch,
            "WINEDEBUG": os.environ.get("QMX_E2E_WINEDEBUG", "-all"),
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            "QMX_SIM_FILE": win_path(self.sim_file),
            "QMX_SIM_SERVER": self.server if self.port else "",
        })
        e.pop("QMX_WINEPREFIX", None)
        if self.arch == "x64":
            e["WINELOADER"] = self.wine
        if extra:
            e.update(extra)
        return e

    def log(self, text):
        print("[%s] %s" % (self.name, text), flush=True)

    # ---- set-up and tear-down -----------------------------------------------

    def setup(self):
        for exe in (self.source_exe, self.probe_exe):
            if not os.path.isfile(exe):
                raise ScenarioFailure("missing %s: build the windows tree first" % exe)
        self.lock_prefix()
        self._reap_leftovers()
        shutil.rmtree(self.work, ignore_errors=True)
        shutil.rmtree(self.shots_dir, ignore_errors=True)
        os.makedirs(self.docroot)
        os.makedirs(self.shots_dir)
        self._write_state()

        self._start_xvfb()
        self._write_state()
        self._ensure_prefix()
        self._reset_prefix_state()
        # A run killed before its clean-up may have left policy keys behind.
        self._policy_set = self._policy_left()

        self.port = _free_port(self.ports)
        for path, content in self.server_docs.items():
            self.put_document(path, content)
        if self.tls:
            self.plain_port = _free_port("%d-%s" % (self.port + 1, self.ports.split("-")[1]))
            self.authority = tls_certs.Authority(os.path.join(self.work, "tls"))
            self._certificate = self.authority.server("localhost")
        self._start_nginx()
        self._write_state()
        self.set_remotes(self.remotes)

        os.makedirs(self.app_dir, exist_ok=True)
        shutil.copyfile(self.source_exe, os.path.join(self.app_dir, self.exe_name))
        if self.ini is not None:
            self.write_ini(self.ini)
        self._boot_wine()
        if self._policy_set:
            self.clear_policies()
        if self.tls:
            self.trust(self.authority.der)
        self.log("screen %dx%d on %s, locale %s, server %s, %s %s exe under %s" %
                 (self.screen[0], self.screen[1], self.display, self.locale, self.server,
                  self.arch, self.flavor, os.path.basename(self.wine)))

    def _start_nginx(self):
        env = None
        if self.tls:
            env = self.env({"QMX_NGINX_TLS_CERT": self._certificate[0],
                            "QMX_NGINX_TLS_KEY": self._certificate[1],
                            "QMX_NGINX_PLAIN_PORT": str(self.plain_port)})
        self._run([os.path.join(TOOLS, "serve-nginx.sh"), "start", self.docroot, str(self.port),
                   self.nginx_run], env=env)

    def serve_certificate(self, chain_and_key):
        """Restart the TLS scenario's nginx (same ports, same documents) with
        another certificate: (chain.pem, key.pem) from tls_certs."""
        self._certificate = chain_and_key
        subprocess.run([os.path.join(TOOLS, "serve-nginx.sh"), "stop", self.nginx_run], check=False)
        self._start_nginx()

    def trust(self, der_path):
        """Add a certificate to the prefix's trusted roots (current user);
        taken out again when the scenario ends."""
        r = subprocess.run([self.wine, self.rootstore_exe, "add", win_path(der_path)], env=self.env(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)
        self.check(r.returncode == 0, "qmx_rootstore add %s: exit %d" % (der_path, r.returncode))
        self._trusted.append(der_path)

    def lock_prefix(self):
        """Serialise everything that uses this prefix (blocks while another
        runner holds it)."""
        os.makedirs(os.path.dirname(self.prefix), exist_ok=True)
        os.makedirs(self.e2e_dir, exist_ok=True)
        self._lock = open(self.prefix + ".lock", "w")
        fcntl.flock(self._lock, fcntl.LOCK_EX)

    def prepare_prefix(self):
        """Create the prefix if needed (no scenario): the first creation
        takes a while and should not count against a scenario's TIMEOUT."""
        self.lock_prefix()
        try:
            self._ensure_prefix()
        finally:
            self._lock.close()
            self._lock = None

    def _run(self, cmd, env=None, timeout=120):
        """Run a helper to its end; output through a file, since daemons it
        starts (nginx, wineserver) would keep a pipe open."""
        log = os.path.join(self.e2e_dir, "helper.log")
        with open(log, "wb") as f:
            r = subprocess.run(cmd, env=env or self.env(), stdin=subprocess.DEVNULL, stdout=f,
                               stderr=subprocess.STDOUT, timeout=timeout)
        if r.returncode != 0:
            with open(log, "rb") as f:
                raise ScenarioFailure("%s failed: %s" % (" ".join(cmd), f.read().decode(errors="replace")))

    def _write_state(self):
        state = {"xvfb": self._xvfb.pid if self._xvfb else None, "nginx_run": self.nginx_run}
        with open(self._state_path, "w") as f:
            json.dump(state, f)

    def _reap_leftovers(self):
        # A run killed without its clean-up (ctest's timeout) leaves its
        # processes behind; the lock says nobody else uses them now.
        path = self._state_path
        if not os.path.exists(path):
            return
        try:
            with open(path) as f:
                state = json.load(f)
        except (OSError, ValueError):
            state = {}
        env = dict(os.environ, WINEPREFIX=self.prefix)
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL, check=False)
        if state.get("nginx_run"):
            subprocess.run([os.path.join(TOOLS, "serve-nginx.sh"), "stop", state["nginx_run"]],
                           check=False)
        if state.get("xvfb"):
            pid = state["xvfb"]
            try:
                with open("/proc/%d/comm" % pid) as f:
                    if f.read().strip() == "Xvfb":
                        _kill_pid(pid)
            except OSError:
                pass
        os.unlink(path)

    def _start_xvfb(self):
        r, w = os.pipe()
        w_, h_ = self.screen
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(w), "-screen", "0", "%dx%dx24" % (w_, h_),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(w,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(w)
        data = b""
        deadline = time.time() + 20
        while not data.endswith(b"\n") and time.time() < deadline:
            chunk = os.read(r, 16)
            if not chunk:
                break
            data += chunk
        os.close(r)
        if not data.strip():
            raise ScenarioFailure("Xvfb did not start")
        self.display = ":" + data.decode().strip()
        if self.workarea:
            self.set_workarea(self.workarea)

    def set_workarea(self, rect):
        """Announce a work area (x, y, w, h) on the X root window, as a
        desktop with a taskbar does; each Wine process started afterwards
        reads it as SPI_GETWORKAREA."""
        x, y, w, h = rect
        self.workarea = rect
        self._run(["xprop", "-display", self.display, "-root", "-format", "_NET_WORKAREA", "32c",
                   "-set", "_NET_WORKAREA", "%d, %d, %d, %d" % (x, y, w, h)])
        if self._wine_up:
            # Wine's desktop reads it once per session.
            self.restart_wine()

    def restart_wine(self):
        """End every Wine process of the prefix (copies of the assistant
        included) and boot its services again."""
        subprocess.run(["wineserver", "-k"], env=self.env(), stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env(), stderr=subprocess.DEVNULL,
                       check=False, timeout=30)
        self._boot_wine()

    def _boot_wine(self):
        # Boot the prefix's own services now, so that the assistant's start
        # is not mixed up with Wine's.
        subprocess.run(["wineserver", "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
        self.probe("process", "qmxassistant.exe")
        self._wine_up = True

    def _ensure_prefix(self):
        env = self.env()
        env["QMX_WINEPREFIX"] = self.prefix
        if not self.display:
            env.pop("DISPLAY", None)  # wine-prefix.sh brings its own Xvfb
        self._run([os.path.join(TOOLS, "wine-prefix.sh")], env=env, timeout=900)
        baseline = os.path.join(self.prefix, ".qmx-e2e-baseline.json")
        if not os.path.exists(baseline):
            with open(baseline, "w") as f:
                json.dump({"program_files": sorted(os.listdir(self.program_files))}, f)

    def _reset_prefix_state(self):
        with open(os.path.join(self.prefix, ".qmx-e2e-baseline.json")) as f:
            baseline = json.load(f)
        for entry in os.listdir(self.program_files):
            if entry not in baseline["program_files"]:
                shutil.rmtree(os.path.join(self.program_files, entry), ignore_errors=True)
        shutil.rmtree(os.path.join(self.appdata, "QmxAssistant"), ignore_errors=True)
        drive_c = os.path.join(self.prefix, "drive_c")
        for entry in os.listdir(drive_c):
            # Assistant folders of earlier scenarios (APP_DIR may differ).
            if entry.lower().startswith("qmx"):
                shutil.rmtree(os.path.join(drive_c, entry), ignore_errors=True)

    def teardown(self):
        for w in self._watches:
            w.close()
        for app in self._apps:
            if app.running():
                app.proc.kill()
        for p in self._extra_procs:
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        for der in self._trusted:
            # The prefix outlives the scenario: no later one may trust it.
            subprocess.run([self.wine, self.rootstore_exe, "remove", win_path(der)], env=self.env(),
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120, check=False)
        self._trusted = []
        if self._policy_set:
            # The prefix outlives the scenario: no later one may find a policy.
            self.clear_policies()
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=self.env(), stderr=subprocess.DEVNULL,
                           check=False)
            subprocess.run(["wineserver", "-w"], env=self.env(), stderr=subprocess.DEVNULL,
                           check=False, timeout=30)
        for app in self._apps:
            try:
                app.proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        subprocess.run([os.path.join(TOOLS, "serve-nginx.sh"), "stop", self.nginx_run], check=False)
        for path in self._scratch:
            shutil.rmtree(path, ignore_errors=True)
        self._scratch = []
        if self._xvfb and self._xvfb.poll() is None:
            _kill_pid(self._xvfb.pid)
            self._xvfb.wait()
        if os.path.exists(self._state_path):
            os.unlink(self._state_path)
        if self._lock:
            self._lock.close()
            self._lock = None

    # ---- scenario inputs ----------------------------------------------------

    def free_port(self):
        """A free loopback port of the scenario's range (for servers a
        scenario runs itself)."""
        return _free_port(self.ports)

    def put_document(self, path, content):
        """Serve `content` (str as UTF-8, or bytes) at URL path `path`."""
        target = os.path.join(self.docroot, path.lstrip("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        data = content.encode("utf-8") if isinstance(content, str) else content
        with open(target, "wb") as f:
            f.write(data)

    def remove_document(self, path):
        target = os.path.join(self.docroot, path.lstrip("/"))
        if os.path.exists(target):
            os.unlink(target)

    def set_remotes(self, remotes, server=None):
        """Rewrite the remote description; the testing exe reads it again at
        its next scan (plug or unplug, then send an arrival). `server` is the
        download server base address it names (default: the scenario's
        nginx); the exe reads it again at each document fetch."""
        self.remotes = list(remotes)
        self._sim_server = server
        lines = ["server=%s" % (server or self.server)]
        if self.signing_key:
            lines.append("signing_key=%s" % self.signing_key)
        if self.high_contrast:
            lines.append("high_contrast=on")
        for r in self.remotes:
            lines += ["[device]", "path=%s" % r["path"],
                      "open=%s" % ("yes" if r.get("open", True) else "no"),
                      "write_fail=%d" % r.get("write_fail", 0),
                      "reply_after=%d" % r.get("reply_after", 0),
                      "reply=%s" % r.get("reply", "03 21 04 00 00 00 00 07")]
        # Rewritten in place (same file, so a watch on it stays valid); the
        # exe reads the whole file at each scan.
        with open(self.sim_file, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")

    def _policy_left(self):
        for hive in ("system.reg", "user.reg"):
            try:
                with open(os.path.join(self.prefix, hive), errors="replace") as f:
                    if POLICY_KEY_IN_FILE in f.read().lower():
                        return True
            except OSError:
                pass
        return False

    def _reg(self, *args):
        # The 64-bit view on a win64 prefix, where the assistant reads it.
        view = ["/reg:64"] if self.arch == "x64" else []
        return subprocess.run([self.wine, "reg"] + list(args) + view, env=self.env(),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=60)

    def set_policy(self, hive, name, value):
        """Write a Group Policy value (REG_SZ) of the assistant's policy key
        under "HKLM" or "HKCU"; value None deletes it. Every policy is
        removed when the scenario ends."""
        self._policy_set = True
        key = hive + "\\" + POLICY_KEY
        if value is None:
            r = self._reg("delete", key, "/v", name, "/f")
        else:
            r = self._reg("add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
        self.check(value is None or r.returncode == 0,
                   "reg add %s: %s" % (name, r.stdout.decode(errors="replace")))

    def clear_policies(self):
        for hive in ("HKLM", "HKCU"):
            self._reg("delete", hive + "\\" + POLICY_VENDOR_KEY, "/f")
        self._policy_set = False

    def set_signing_key(self, public_text):
        """Give the testing exe the maker's public key text, as the product
        has it compiled in (None: no key). Read at each download and Open."""
        self.signing_key = public_text
        self.set_remotes(self.remotes, self._sim_server)

    def set_high_contrast(self, on):
        """Make the testing exe draw as in the system's high-contrast mode,
        which Wine cannot switch on. Read when the popup is made and at each
        WM_SETTINGCHANGE or WM_SYSCOLORCHANGE (probe "settingchange")."""
        self.high_contrast = bool(on)
        self.set_remotes(self.remotes, self._sim_server)

    def write_ini(self, content, name=None):
        path = os.path.join(self.app_dir, name or self.ini_name)
        data = content.encode("utf-8") if isinstance(content, str) else content
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read_ini(self, name=None):
        path = os.path.join(self.app_dir, name or self.ini_name)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            data = f.read()
        if data.startswith(b"\xff\xfe"):
            return data[2:].decode("utf-16-le")
        return data.decode("utf-8", "replace")

    def start_fault_server(self):
        """Start tools/fault_server.py on another loopback port of the
        scenario's range; returns its base address (http://127.0.0.1:PORT).
        Stopped with the scenario."""
        port = _free_port(self.ports)
        p = subprocess.Popen([sys.executable, os.path.join(TOOLS, "fault_server.py"), str(port)],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
        self._extra_procs.append(p)
        line = p.stdout.readline().decode(errors="replace").strip()
        if line != "ready":
            self.fail("fault server did not start (%r)" % line)
        return "http://127.0.0.1:%d" % port

    def scratch_dir(self, name):
        """A fresh folder outside the build tree that every user can reach,
        for a server that drops to a user of its own (squid runs as user
        proxy) and so may not enter the work folder: a clone in a private
        folder (mktemp -d) is closed to other users. Removed when the
        scenario ends."""
        path = tempfile.mkdtemp(prefix="qmx-e2e-%s-%s-" % (self.name, name))
        os.chmod(path, 0o777)
        self._scratch.append(path)
        return path

    def track_process(self, proc):
        """Have the rig stop `proc` (a Popen of a server the scenario runs
        itself) when the scenario ends, also on failure."""
        self._extra_procs.append(proc)
        return proc

    def watch_remote_reads(self):
        """Start counting reads of the remote description (one per device
        scan of the testing exe); returns an OpenWatch."""
        w = OpenWatch(self.sim_file)
        self._watches.append(w)
        return w

    def install_standin(self, windows_path):
        """Copy the stand-in program to a C:\\ path (e.g. the companion
        application under Program Files). Returns the host path; its log
        of command lines is that path + ".log"."""
        if not os.path.isfile(self.standin_exe):
            raise ScenarioFailure("missing %s" % self.standin_exe)
        target = self.host_path(windows_path)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(self.standin_exe, target)
        return target

    # ---- steps ----------------------------------------------------------------

    def step(self, name):
        self._step = name
        self.log("step: %s" % name)

    def start(self, exe_name=None, env=None):
        """Start the assistant (the copy in the app folder) and return its App."""
        name = exe_name or self.exe_name
        exe = self.app_dir_win + "\\" + name
        log_path = os.path.join(self.work, "app-%d.log" % (len(self._apps) + 1))
        with open(log_path, "wb") as out:
            proc = subprocess.Popen([self.wine, exe], cwd=self.app_dir, env=self.env(env),
                                    stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        app = App(proc, name, log_path)
        self._apps.append(app)
        self.log("started %s (pid %d)" % (exe, proc.pid))
        return app

    def copy_exe(self, name):
        """Put another copy of the exe into the app folder under `name`."""
        shutil.copyfile(self.source_exe, os.path.join(self.app_dir, name))

    def wait_until(self, condition, what, timeout=STARTUP_BOUND_S, interval=0.25):
        """Poll condition() until it returns something true; fail after timeout."""
        deadline = time.time() + timeout
        while True:
            value = condition()
            if value:
                return value
            if time.time() > deadline:
                self.fail("timed out after %ds waiting for %s" % (timeout, what))
            time.sleep(interval)

    def wait_exit(self, app, timeout=EXIT_BOUND_S):
        try:
            code = app.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.fail("%s did not exit within %ds" % (app.name, timeout))
        self.log("%s exited with %d" % (app.name, code))
        # The wineserver notices a process's end a moment after the Unix
        # process is gone; until then its named objects (the single-instance
        # mutex) live on and a copy started next would see them.
        others = sum(1 for a in self._apps if a.running() and a.name.lower() == app.name.lower())
        self.wait_until(lambda: self.probe("process", app.name)[-1]["count"] <= others,
                        "%s to leave Wine's process list" % app.name, timeout=timeout)
        return code

    def wait_popup(self, timeout=STARTUP_BOUND_S, visible=None):
        """Wait until the popup window exists (and has the given visibility)."""
        def ready():
            p = self.popup()
            if not p["found"]:
                return None
            if visible is not None and p["visible"] != visible:
                return None
            return p
        return self.wait_until(ready, "the popup%s" % (
            "" if visible is None else (" visible" if visible else " hidden")), timeout)

    def wait_settled(self, app, timeout=STARTUP_BOUND_S):
        """Wait until start-up has finished: the process either ended, or
        its UI thread answers messages again (the message loop runs)."""
        def settled():
            if not app.running():
                return "exited"
            return "running" if self.responsive(1000) else None
        return self.wait_until(settled, "start-up to finish", timeout)

    # ---- probe ----------------------------------------------------------------

    def probe(self, *args, timeout_s=90, check=True):
        """Run qmxprobe.exe with args; returns its JSON lines as dicts."""
        # Output goes through files, not pipes: Wine's own processes started
        # by this call (wineserver, services) would hold a pipe open.
        out_path = os.path.join(self.work, "probe.out")
        err_path = os.path.join(self.work, "probe.err")
        with open(out_path, "wb") as out_f, open(err_path, "wb") as err_f:
            p = subprocess.Popen([self.wine, self.probe_exe] + [str(a) for a in args], env=self.env(),
                                 stdin=subprocess.DEVNULL, stdout=out_f, stderr=err_f)
            try:
                code = p.wait(timeout_s)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
                if check:
                    self.fail("probe %s did not return within %ds" % (" ".join(map(str, args)), timeout_s))
                return []
        with open(out_path, "rb") as f:
            stdout = f.read()
        with open(err_path, "rb") as f:
            stderr = f.read()
        out = []
        for line in stdout.decode("utf-8", "replace").splitlines():
            line = line.strip()
            if line.startswith("{"):
                try:
                    out.append(json.loads(line))
                except ValueError:
                    pass
        if self.verbose:
            self.log("probe %s -> %s" % (" ".join(map(str, args)), out))
        if check and code == 2:
            self.fail("probe usage error: %s" % stderr.decode(errors="replace"))
        return out

    def responsive(self, ms=1000):
        """True when the popup exists and its thread answers within ms."""
        r = self.probe("ping", ms, check=False)
        return bool(r and r[-1].get("answered"))

    def popup(self):
        r = self.probe("find")
        return r[0] if r else {"found": False}

    def controls(self):
        """{id: control dict} of the popup's children ({} without a popup)."""
        return {c["id"]: c for c in self.probe("controls") if c.get("cmd") == "control"}

    def visible_ids(self):
        return sorted(i for i, c in self.controls().items() if c["visible"])

    def click(self, control_id):
        r = self.probe("click", control_id)
        if not r or not r[-1].get("ok"):
            self.fail("click %s failed: %s" % (control_id, r))

    def command(self, command_id):
        r = self.probe("command", command_id)
        if not r or not r[-1].get("ok"):
            self.fail("command %s failed: %s" % (command_id, r))

    def arrival(self, kind="iface", background=False):
        """Send a device arrival; blocks until the popup's thread handled it
        unless background=True (then returns the Popen of the probe)."""
        if background:
            p = subprocess.Popen([self.wine, self.probe_exe, "arrival", kind], env=self.env(),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
            self._extra_procs.append(p)
            return p
        r = self.probe("arrival", kind)
        if not r or not r[-1].get("ok"):
            self.fail("arrival not delivered: %s" % r)
        return r[-1]

    def arrival_hold(self, bound_s):
        """Send an arrival whose handling is expected to take a while (a
        settings retry against a bad server): waits until the popup's thread
        has handled it, within bound_s of sending it. (A slow fetch answers
        messages meanwhile, so answering says nothing about its end.)
        Returns the seconds it took."""
        arrival = self.arrival(background=True)
        sent = time.monotonic()
        self.wait_until(lambda: arrival.poll() is not None, "the arrival to be handled",
                        timeout=bound_s)
        held = time.monotonic() - sent
        self.log("the arrival held the popup's thread for %.1f s" % held)
        self.check(held <= bound_s, "held for %.1f s" % held)
        return held

    def removal(self):
        r = self.probe("removal")
        if not r or not r[-1].get("ok"):
            self.fail("removal not delivered: %s" % r)
        return r[-1]

    def key(self, key, method="input"):
        r = self.probe("key", key, "--method", method)
        if not r or not r[-1].get("ok"):
            self.fail("key %s failed: %s" % (key, r))

    def hittest(self, x, y, client=True):
        args = ["hittest", x, y] + (["--client"] if client else [])
        r = self.probe(*args)
        if not r or not r[-1].get("ok"):
            self.fail("hittest failed: %s" % r)
        return r[-1]["hit"]

    def process_running(self, image_name):
        r = self.probe("process", image_name)
        return bool(r and r[-1].get("running"))

    def windows(self, cls=None, title=None, owned_by_popup=False):
        args = ["windows"]
        if cls is not None:
            args += ["--class", cls]
        if title is not None:
            args += ["--title", title]
        if owned_by_popup:
            args.append("--owned-by-popup")
        return [w for w in self.probe(*args) if w.get("cmd") == "window"]

    def prefix_env(self):
        r = self.probe("env")
        return r[-1] if r else {}

    # ---- outside views ----------------------------------------------------------

    def xwininfo(self, title="qmx"):
        """The X window of a top-level Wine window, seen from outside Wine:
        {"id", "x", "y", "w", "h", "mapped"} or None when X has no such window."""
        r = subprocess.run(["xwininfo", "-display", self.display, "-root", "-tree"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        pat = re.compile(r'^\s*(0x[0-9a-f]+) "%s":.*?(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)'
                         % re.escape(title))
        for line in r.stdout.decode("utf-8", "replace").splitlines():
            m = pat.match(line)
            if not m:
                continue
            wid = m.group(1)
            info = subprocess.run(["xwininfo", "-display", self.display, "-id", wid],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            text = info.stdout.decode("utf-8", "replace")
            mapped = "IsViewable" in text
            return {"id": wid, "w": int(m.group(2)), "h": int(m.group(3)),
                    "x": int(m.group(6)), "y": int(m.group(7)), "mapped": mapped}
        return None

    def shot(self, label=None):
        """Screenshot of the whole screen into the scenario's shots folder."""
        self._shot_no += 1
        label = re.sub(r"[^A-Za-z0-9_.-]+", "_", label or self._step)
        path = os.path.join(self.shots_dir, "%02d-%s.png" % (self._shot_no, label))
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False, timeout=30)
        return path

    def access_log(self):
        """nginx's requests so far: [{"method", "path", "status", "content_type", "bytes"}]."""
        path = os.path.join(self.nginx_run, "access.log")
        out = []
        if not os.path.exists(path):
            return out
        pat = re.compile(r'^(\S+) (\S+) (\S+) (\d+) "([^"]*)" (\d+)')
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                m = pat.match(line)
                if m:
                    out.append({"method": m.group(1), "path": m.group(2), "status": int(m.group(4)),
                                "content_type": m.group(5), "bytes": int(m.group(6))})
        return out

    def requests_for(self, path):
        return [e for e in self.access_log() if e["path"] == path]

    # ---- checks -------------------------------------------------------------

    def fail(self, message):
        raise ScenarioFailure("step '%s': %s" % (self._step, message))

    def check(self, condition, message):
        if not condition:
            self.fail(message)

    def check_eq(self, actual, expected, what):
        if actual != expected:
            self.fail("%s: expected %r, got %r" % (what, expected, actual))
