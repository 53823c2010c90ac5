# Never ask on a copy named "QMXASSISTANT.EXE": the ".exe" to ".ini" rule
# leaves its settings path equal to the program file itself, which never-ask
# must not write into (the program skips the write; the system would also
# refuse it while the image runs). The program file stays byte for byte as
# it was, no settings file appears, the program still ends with exit code 0,
# and the next start offers again.
import hashlib
import os

from qmx_e2e import remote, usb_path, offer_documents

EXE = "QMXASSISTANT.EXE"
REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 90


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def settings_files(s):
    return sorted(n for n in os.listdir(s.app_dir) if n.lower().endswith(".ini"))


def run(s):
    exe = os.path.join(s.app_dir, EXE)
    before = digest(exe)
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)

    s.step("Never ask")
    s.click(20004)
    s.check_eq(s.wait_exit(app), 0, "exit code")
    s.check_eq(digest(exe), before, "program file unchanged")
    s.check_eq(settings_files(s), [], "settings files beside the program")

    s.step("next start offers again")
    app = s.start()
    s.check_eq(s.wait_settled(app), "running", "after the second start-up")
    s.wait_popup(visible=True, timeout=10)
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after WM_CLOSE")
