# Ending the program while a download runs, in every way it can end and at
# different moments of the run (just after the press, mid-transfer, as the
# transfer finishes and the digest is checked), always exits with code 0 and
# no crash: nothing the worker still uses is destroyed under it.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 300

WAYS = {
    "Alt+F4": ("key", "alt+f4", "--method", "input"),
    "WM_CLOSE": ("close",),
    "Exit command": ("command", "105"),
    "end of the session": ("endsession",),
}
# (way, moment): "press" right after Download, "held" while the transfer is
# held midway, or a delay in seconds after the held transfer was released.
ROUNDS = [
    ("Alt+F4", "press"), ("Alt+F4", "held"), ("Alt+F4", 0.0), ("Alt+F4", 0.05),
    ("Alt+F4", 0.3), ("WM_CLOSE", "held"), ("WM_CLOSE", 0.1), ("Exit command", "press"),
    ("Exit command", 0.02), ("end of the session", "held"), ("end of the session", 0.0),
]
CRASH_SIGNS = ("Unhandled", "page fault", "err:seh", "wine: Call from")


def run(s):
    installer = d.standin_bytes(s)
    for label, moment in ROUNDS:
        what = "%s at %s" % (label, moment if isinstance(moment, str) else "%gs after release" % moment)
        server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
        try:
            d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
            s.step("%s: start" % what)
            app = d.start_with_offer(s)
            s.click(d.DOWNLOAD)
            if moment != "press":
                s.check(server.held.wait(30), "the installer was requested")
            if not isinstance(moment, str):
                server.release()
                time.sleep(moment)
            s.step("%s ends the program" % what)
            r = s.probe(*WAYS[label], check=False)
            s.check(r and r[-1].get("ok"), "probe %s: %s" % (" ".join(WAYS[label]), r))
            s.check_eq(s.wait_exit(app), 0, "exit code")
            out = app.output()
            s.check(not any(sign in out for sign in CRASH_SIGNS), "no crash report: %r" % out[-400:])
        finally:
            server.stop()
