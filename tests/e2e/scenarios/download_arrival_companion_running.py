# A device arrival while a companion process runs ("Orvanteer_Net35.exe"; the
# check ignores letter case) is ignored: no scan, no request, the hidden popup
# stays hidden. Once that process has ended, the same arrival brings the offer
# back.
import subprocess

import _download as d

REMOTES = d.REMOTES
TIMEOUT = 120
COMPANION = "C:\\qmxcompanion\\ORVANTEER_NET35.EXE"


def run(s):
    d.serve_offer(s, d.description("http://127.0.0.1:9/unused.exe", "0" * 32))
    d.start_with_offer(s)
    s.step("Later hides the popup")
    s.click(d.LATER)
    s.wait_popup(visible=False, timeout=10)

    s.step("a companion process starts")
    s.install_standin(COMPANION)
    companion = subprocess.Popen([s.wine, COMPANION], env=s.env({"QMX_STANDIN_STAY_MS": "120000"}),
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    try:
        s.wait_until(lambda: s.process_running("Orvanteer_Net35.exe"), "the companion process",
                     timeout=30)

        s.step("an arrival while it runs changes nothing")
        scans = s.watch_remote_reads()
        requests = len(s.access_log())
        s.arrival()
        s.check_eq(scans.count(), 0, "device scans")
        s.check_eq(len(s.access_log()), requests, "server requests")
        s.check(not s.popup()["visible"], "the popup stays hidden")

        s.step("the companion ends: the arrival brings the offer back")
        companion.terminate()
        companion.wait(30)
        s.wait_until(lambda: not s.process_running("Orvanteer_Net35.exe"), "the companion's end",
                     timeout=30)
        s.arrival()
        s.check(scans.count() >= 1, "a device scan happened")
        s.wait_popup(visible=True, timeout=20)
        d.wait_state(s, d.OFFER, "the offer", timeout=10)
    finally:
        if companion.poll() is None:
            companion.kill()
            companion.wait(10)
