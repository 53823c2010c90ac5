# The presenter's moment. After Later, a slide show (the stand-in presenter:
# a borderless window covering the monitor, in front, logging its keys) takes
# the foreground and the remote is plugged in again: the new offer is held,
# the popup stays hidden, the show keeps the foreground and gets every key of
# the remote, and a second arrival holds nothing more. When the show ends
# (Escape, the window goes on as an ordinary one), the offer appears within
# seconds without taking the foreground or the keys from it.
import os
import subprocess
import time

from qmx_e2e import offer_documents, remote, trace_lines, usb_path, win_path

REMOTE = remote(usb_path("ac01"), customer=7)
REMOTES = [REMOTE]
SERVER = offer_documents(customer=7)
TIMEOUT = 120

OFFER = [19001, 19002, 20000, 20001, 20002, 20004]
HELD_LOOK_S = 8       # longer than a look and the settling time together
OFFER_BOUND_S = 20    # proves the held offer comes at all
PAGE_DOWN, PAGE_UP, ESCAPE = 34, 33, 27


def cpu_seconds(image_name):
    """utime + stime of the Wine processes running image_name, from /proc."""
    ticks = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if image_name.lower() not in f.read().decode("utf-8", "replace").lower():
                    continue
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            ticks += int(fields[11]) + int(fields[12])
        except (OSError, ValueError, IndexError):
            continue
    return ticks / os.sysconf("SC_CLK_TCK")


def run(s):
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.step("Later")
    s.click(20002)
    s.wait_popup(visible=False, timeout=10)

    s.step("the slide show takes the foreground")
    log_path = os.path.join(s.work, "presenter.log")
    exe = os.path.join(s.build_dir, "tests", "standin", "qmx_presenter.exe")
    s.track_process(subprocess.Popen([s.wine, exe, win_path(log_path)], env=s.env(),
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL))

    def events():
        try:
            with open(log_path) as f:
                return f.read().split("\n")[:-1]
        except OSError:
            return []

    def keys():
        return [int(e.split()[1]) for e in events() if e.startswith("key ")]

    def lost_foreground():
        return [e for e in events() if e in ("active 0", "focus 0")]

    s.wait_until(lambda: {"shown", "active 1", "focus 1"} <= set(events()),
                 "the slide show in front", timeout=30)

    def press(*names):
        subprocess.run(["xdotool", "key", "--delay", "150"] + list(names), env=s.env(),
                       check=True, timeout=30)

    s.step("the remote is plugged in during the show: the offer is held")
    s.arrival()
    s.check_eq(s.popup()["visible"], False, "popup visible")
    press("Next", "Next", "Prior")
    s.wait_until(lambda: len(keys()) == 3, "three keys at the slide show", timeout=10)
    s.check_eq(keys(), [PAGE_DOWN, PAGE_DOWN, PAGE_UP], "keys the slide show got")

    s.step("a second arrival while held, and looks that keep holding")
    s.arrival()
    cpu_before, since = cpu_seconds(s.exe_name), time.time()
    while time.time() - since < HELD_LOOK_S:
        s.check_eq(s.popup()["visible"], False, "popup visible during the show")
        time.sleep(0.5)
    held_cpu = cpu_seconds(s.exe_name) - cpu_before
    s.log("CPU while held: %.2f s in %.1f s" % (held_cpu, time.time() - since))
    s.check(held_cpu < HELD_LOOK_S / 4, "a held offer is no busy loop (%.2f s)" % held_cpu)
    s.check_eq(lost_foreground(), [], "the slide show lost the foreground")

    s.step("the show ends: the offer comes, the window keeps the foreground")
    press("Escape")
    s.wait_until(lambda: "windowed" in events(), "the end of the show", timeout=10)
    ended = time.time()
    s.wait_popup(visible=True, timeout=OFFER_BOUND_S)
    s.log("offer %.1f s after the end of the show" % (time.time() - ended))
    s.check_eq(s.visible_ids(), OFFER, "controls of the offer")
    s.shot("offer beside the former show")
    press("Next")
    s.wait_until(lambda: len(keys()) == 5, "the next key at the window", timeout=10)
    s.check_eq(keys()[-1], PAGE_DOWN, "the key after the offer came")
    s.check_eq(lost_foreground(), [], "the window lost the foreground")

    s.step("the trace: one hold, one show")
    lines = trace_lines(app)
    s.check_eq([l for l in lines if l.startswith("offer ")],
               ["offer held: a full-screen program is in front",
                "offer shown: the user is free again"], "offer lines of the trace")
