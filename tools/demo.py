#!/usr/bin/env python3
"""make demo: the assistant end to end against the bundled demo server.

A loopback nginx serves a prepared copy of demo/server (customer 7, texts in
four languages, an installer description and a demo installer built by the
project), and a simulated spotlight remote of customer 7 is attached.

The download is signed: a demo key pair is made under build/demo/ at each
run (qmxpublish keygen; no private key is committed), the description is
signed with it (describe --sign) and checked (check --key), and the assistant
gets the public key as a build with QMX_SIGNING_KEY would have it, so it
checks the signature before it offers Open and again before it starts.

- With a display (DISPLAY set) the real popup appears there: press Download,
  watch the progress, then Open; the demo installer shows how it was started.
  Never ask, Alt+F4 or Ctrl+C end the demo.
- Without one it runs under Xvfb, walks the road of one offer by itself
  (offer, downloading, completed, Open), saves a screenshot of each state
  under build/demo/ and exits 0 only if every state was reached.

Either way everything it started (nginx, Xvfb, Wine) is stopped at the end.
Options: --locale ja_JP.UTF-8 (or zh_CN / ko_KR / en_US), --headless.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import types

TOP = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(TOP, "tests", "e2e"))
import qmx_e2e  # noqa: E402
from qmx_e2e import remote, usb_path  # noqa: E402

WIN_BUILD = os.path.join(TOP, "build", "windows")  # --build-dir: build/windows-x64 on a 64-bit-only machine
PUBLISH = os.path.join(TOP, "build", "host", "publisher", "qmxpublish")
OUT = os.path.join(TOP, "build", "demo")
FILES = "downloads/orvanteer/customers/customer007/windows/files"
DEMO_PORTS = "18700-18799"
# The installer is padded and the answer rate limited, so that the download
# lasts a few seconds and its progress can be watched.
INSTALLER_SIZE = 6 * 1024 * 1024
RATE = "1m"

DOWNLOAD, OPEN, PROGRESS_TEXT = 20001, 20003, 19005
WAIT_S = 60


class Demo(qmx_e2e.Scenario):
    def __init__(self, settings, on_display, build_dir):
        super().__init__("demo", settings, build_dir, ports=DEMO_PORTS)
        self.on_display = on_display

    def _start_xvfb(self):
        if self.on_display:
            self.display = os.environ["DISPLAY"]  # the person's own screen
        else:
            super()._start_xvfb()


def prepare_server(s):
    """Copies the demo tree into the served folder and fills in its host,
    the demo installer and its description."""
    host = "127.0.0.1:%d" % s.port
    shutil.copytree(os.path.join(TOP, "demo", "server"), s.docroot, dirs_exist_ok=True)
    for root, _, names in os.walk(s.docroot):
        for n in names:
            if n.endswith(".xml"):
                p = os.path.join(root, n)
                with open(p, encoding="utf-8") as f:
                    text = f.read()
                with open(p, "w", encoding="utf-8") as f:
                    f.write(text.replace("QMX_DEMO_HOST", host))
    installer = os.path.join(s.docroot, FILES, "setup.exe")
    with open(s.standin_exe, "rb") as f:
        data = f.read()
    with open(installer, "wb") as f:
        f.write(data + b"\0" * max(0, INSTALLER_SIZE - len(data)))
    # The maker's key pair: the private half stays here, off the server.
    key = os.path.join(OUT, "demo-signing-key.pem")
    public = subprocess.run([PUBLISH, "keygen", "--out", key], check=True, text=True,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.strip()
    subprocess.run([PUBLISH, "describe", "--version", "1.0.0", "--url",
                    "https://%s/%s/setup.exe" % (host, FILES), "--installer", installer,
                    "--out", os.path.join(s.docroot, FILES, "orvanteer.xml"), "--sign", key],
                   check=True, stdout=subprocess.DEVNULL)
    check = subprocess.run([PUBLISH, "check", "--host", host, "--key", public, s.docroot],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if check.returncode != 0 or "signature matches installer" not in check.stdout:
        raise qmx_e2e.ScenarioFailure("demo server tree does not check:\n" + check.stdout)
    # The testing flavor takes the key from its scenario; the product exe
    # would have it compiled in (-DQMX_SIGNING_KEY=...).
    s.set_signing_key(public)
    print("demo: installer signed; the assistant checks it against %s" % public, flush=True)


def visible(s, control_id):
    c = s.controls().get(control_id)
    return bool(c and c["visible"])


def walk(s, app):
    shots = []

    def keep(label):
        path = s.shot(label)
        target = os.path.join(OUT, os.path.basename(path))
        shutil.copyfile(path, target)
        shots.append(target)

    s.step("offer")
    s.wait_popup(visible=True, timeout=WAIT_S)
    keep("offer")
    s.step("downloading")
    s.click(DOWNLOAD)
    s.wait_until(lambda: visible(s, PROGRESS_TEXT) and
                 (s.controls()[PROGRESS_TEXT]["text"].rstrip("%").split()[-1] not in ("0", "00")),
                 "the progress to move", timeout=WAIT_S)
    keep("downloading")
    s.step("completed")
    s.wait_until(lambda: visible(s, OPEN), "the completed state", timeout=WAIT_S)
    keep("completed")
    s.step("open")
    log = os.path.join(s.appdata, "QmxAssistant", "Temp", "setup.exe.log")
    s.click(OPEN)
    line = s.wait_until(lambda: os.path.exists(log) and open(log, encoding="utf-8").read().strip(),
                        "the installer to start", timeout=WAIT_S)
    s.check("-qmx_normal" in line, "installer command line: %r" % line)
    s.wait_popup(visible=False, timeout=WAIT_S)
    keep("opened")
    s.check(app.running(), "the assistant keeps running after Open")
    return shots


def interrupted(signum, frame):
    raise KeyboardInterrupt()


def main():
    # Ctrl+C and a plain kill both end the demo through its clean-up, also
    # when it was started with SIGINT ignored (in the background).
    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--locale", default=os.environ.get("QMX_DEMO_LOCALE", "en_US.UTF-8"))
    ap.add_argument("--headless", action="store_true", help="walk by itself even with a display")
    ap.add_argument("--build-dir", default=WIN_BUILD,
                    help="the Windows tree whose testing exe runs (default build/windows)")
    args = ap.parse_args()
    on_display = bool(os.environ.get("DISPLAY")) and not args.headless

    for need in (PUBLISH, os.path.join(args.build_dir, "QmxAssistantSim.exe")):
        if not os.path.exists(need):
            sys.exit("demo: missing %s (run make build first)" % need)
    settings = types.SimpleNamespace(SCREEN=(1920, 1080), LOCALE=args.locale, SERVER={},
                                     REMOTES=[remote(usb_path("ad03"), customer=7)])
    os.environ["QMX_NGINX_RATE"] = RATE
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(OUT)
    s = Demo(settings, on_display, args.build_dir)
    try:
        s.setup()
        prepare_server(s)
        if on_display:
            app = s.start(env={"QMX_STANDIN_MESSAGE": "1"})
            print("demo: the popup appears at the bottom right of %s; Download, then Open."
                  " Never ask, Alt+F4 or Ctrl+C end the demo." % s.display, flush=True)
            app.proc.wait()
            return 0
        app = s.start()
        shots = walk(s, app)
        print("demo: every state reached; screenshots:")
        for p in shots:
            print("  " + os.path.relpath(p, TOP))
        return 0
    except qmx_e2e.ScenarioFailure as e:
        print("demo: FAILED: %s (screens so far in %s)" % (e, os.path.relpath(s.shots_dir, TOP)))
        return 1
    except KeyboardInterrupt:
        print("demo: interrupted")
        return 130
    finally:
        s.teardown()


if __name__ == "__main__":
    sys.exit(main())
