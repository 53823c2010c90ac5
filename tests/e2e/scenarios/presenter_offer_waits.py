# The presenter's moment. After Later, a slide show (the stand-in presenter:
# a borderless window covering the monitor, in front, logging its keys) takes
# the foreground and the remote is plugged in again: the new offer is held,
# the popup stays hidden, the show keeps the foreground and gets every key of
# the remote, and a second arrival holds nothing more. When the show ends
# (Escape, the window goes on as an ordinary one), the offer appears within
# seconds without taking the foreground or the keys from it, until it is
# clicked.
import os
import subprocess
import time

from _presenter import PAGE_DOWN, PAGE_UP, Presenter
from qmx_e2e import offer_documents, remote, trace_lines, usb_path

REMOTE = remote(usb_path("ac01"), customer=7)
REMOTES = [REMOTE]
SERVER = offer_documents(customer=7)
TIMEOUT = 120

OFFER = [19001, 19002, 20000, 20001, 20002, 20004]
HELD_LOOK_S = 8       # longer than a look and the settling time together
OFFER_BOUND_S = 20    # proves the held offer comes at all


def cpu_seconds(s):
    """utime + stime of the assistant in this scenario's prefix, from /proc;
    None when it is not found there."""
    ticks, env = None, ("WINEPREFIX=%s" % s.prefix).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            read = lambda what: open("/proc/%s/%s" % (pid, what), "rb").read()
            if (read("cmdline").split(b"\0")[0].lower().endswith(s.exe_name.lower().encode())
                    and env in read("environ").split(b"\0")):
                ticks = (ticks or 0) + sum(map(int, read("stat").rsplit(b")", 1)[1].split()[11:13]))
        except OSError:
            continue
    return None if ticks is None else ticks / os.sysconf("SC_CLK_TCK")


def run(s):
    app = s.start(env={"WINEDEBUG": "-all,warn+seh"})
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.step("Later")
    s.click(20002)
    s.wait_popup(visible=False, timeout=10)

    s.step("the slide show takes the foreground")
    show = Presenter(s)

    s.step("the remote is plugged in during the show: the offer is held")
    s.arrival()
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check_eq(show.press("Next", "Next", "Prior"), [PAGE_DOWN, PAGE_DOWN, PAGE_UP],
               "keys the slide show got")

    s.step("a second arrival while held, and looks that keep holding")
    s.arrival()
    cpu_before, since = cpu_seconds(s), time.time()
    s.check(cpu_before is not None, "the assistant's process in /proc")
    while time.time() - since < HELD_LOOK_S:
        s.check_eq(s.popup()["visible"], False, "popup visible during the show")
        time.sleep(0.5)
    held_cpu = cpu_seconds(s) - cpu_before
    s.log("CPU while held: %.2f s in %.1f s" % (held_cpu, time.time() - since))
    s.check(held_cpu < HELD_LOOK_S / 4, "a held offer is no busy loop (%.2f s)" % held_cpu)
    s.check_eq(show.lost_foreground(), [], "the slide show lost the foreground")

    s.step("the show ends: the offer comes, the window keeps the foreground")
    show.end_show()
    ended = time.time()
    s.wait_popup(visible=True, timeout=OFFER_BOUND_S)
    s.log("offer %.1f s after the end of the show" % (time.time() - ended))
    s.check_eq(s.visible_ids(), OFFER, "controls of the offer")
    s.shot("offer beside the former show")
    s.check_eq(show.press("Next"), [PAGE_DOWN], "the key after the offer came")
    s.check_eq(show.lost_foreground(), [], "the window lost the foreground")

    s.step("a click on the popup activates it")
    rect = s.popup()["rect"]
    subprocess.run(["xdotool", "mousemove", str(rect["x"] + 420), str(rect["y"] + 40), "click", "1"],
                   env=s.env(), check=True, timeout=30)
    s.wait_until(show.lost_foreground, "the popup taking the foreground", timeout=10)

    s.step("the trace: one hold, one show")
    lines = trace_lines(app)
    s.check_eq([l for l in lines if l.startswith("offer ")],
               ["offer held: a full-screen program is in front",
                "offer shown: the user is free again"], "offer lines of the trace")
