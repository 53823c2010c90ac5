# Never ask while a transfer is still running (its button is hidden then, but
# the command can still arrive): the setting is written and the program ends
# with exit code 0 without waiting for the transfer, which the server holds
# open.
import time

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120
END_BOUND_S = 15  # generous: only proves that the program did not wait for the transfer


def run(s):
    installer = d.standin_bytes(s)
    server = d.InstallerServer(s, installer, hold_at=len(installer) // 2)
    try:
        d.serve_offer(s, d.description(server.url, d.md5_hex(installer)))
        app = d.start_with_offer(s)

        s.step("Never ask during the transfer")
        s.click(d.DOWNLOAD)
        s.check(server.held.wait(30), "the installer was requested")
        d.wait_state(s, d.DOWNLOADING, "the downloading state")
        started = time.time()
        s.click(d.NEVER_ASK)
        s.check_eq(s.wait_exit(app, timeout=END_BOUND_S), 0, "exit code")
        s.log("ended %.2f s after the command (the transfer still held)" % (time.time() - started))
        s.check(not server.released(), "the transfer was still held when the program ended")
        ini = s.read_ini() or ""
        s.check("Notify=off" in ini.replace(" ", ""), "settings file: %r" % ini)
    finally:
        server.stop()
