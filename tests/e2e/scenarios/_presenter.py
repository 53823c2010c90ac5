"""A stand-in slide show for the scenarios: qmx_presenter.exe (tests/standin)
covers the monitor, takes the foreground and logs what it receives; the keys
a remote would send reach it through the X server (xdotool), as a real
keyboard's do."""
import os
import subprocess

from qmx_e2e import win_path

PAGE_DOWN, PAGE_UP, ESCAPE = 34, 33, 27


class Presenter:
    def __init__(self, s):
        self.s = s
        self.log_path = os.path.join(s.work, "presenter.log")
        exe = os.path.join(s.build_dir, "tests", "standin", "qmx_presenter.exe")
        s.track_process(subprocess.Popen([s.wine, exe, win_path(self.log_path)], env=s.env(),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL))
        s.wait_until(lambda: {"shown", "active 1", "focus 1"} <= set(self.events()),
                     "the slide show in front", timeout=30)

    def events(self):
        try:
            with open(self.log_path) as f:
                return f.read().split("\n")[:-1]
        except OSError:
            return []

    def keys(self):
        return [int(e.split()[1]) for e in self.events() if e.startswith("key ")]

    def lost_foreground(self):
        return [e for e in self.events() if e in ("active 0", "focus 0")]

    def press(self, *names):
        """Types X key names (Next, Prior, Escape) and waits until they arrived."""
        before = len(self.keys())
        subprocess.run(["xdotool", "key", "--delay", "150"] + list(names), env=self.s.env(),
                       check=True, timeout=30)
        self.s.wait_until(lambda: len(self.keys()) >= before + len(names),
                          "%s at the slide show" % " ".join(names), timeout=10)
        return self.keys()[before:]

    def end_show(self):
        self.press("Escape")
        self.s.wait_until(lambda: "windowed" in self.events(), "the end of the show", timeout=10)


def pixel(s, x, y):
    """(r, g, b) of the screen at (x, y), from a screenshot."""
    out = subprocess.run(["convert", s.shot("pixel"), "-format",
                          "%%[fx:int(255*p{%d,%d}.r+.5)],%%[fx:int(255*p{%d,%d}.g+.5)],"
                          "%%[fx:int(255*p{%d,%d}.b+.5)]" % (x, y, x, y, x, y), "info:"],
                         capture_output=True, text=True, check=True, timeout=30).stdout
    return tuple(int(v) for v in out.strip().split(","))
