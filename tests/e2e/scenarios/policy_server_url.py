# An administrator's ServerUrl sends every document request to a mirror: the
# user's policy on its own (a machine value that is no address is refused with
# a trace line), then the machine's beside a different user's, where the
# machine's wins. The built-in server (nginx, serving nothing) is never asked.
# Notify=off set while the program runs ends it at the next arrival, before
# any scan.
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from qmx_e2e import CUSTOMERSETTING_PATH, customer_path, offer_documents, remote, trace_lines, \
    usb_path

REMOTES = [remote(usb_path("ac01"), customer=7)]
TIMEOUT = 90
TRACE = {"WINEDEBUG": "-all,warn+seh"}
DOCUMENTS = [CUSTOMERSETTING_PATH, customer_path(7)]


class Mirror:
    """The offer documents on a loopback port of the scenario's range; `paths`
    lists every path asked for."""

    def __init__(self, s):
        docs = {path: text.encode("utf-8") for path, text in offer_documents(customer=7).items()}
        self.paths = []
        owner = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_POST(self):
                owner.paths.append(self.path)
                body = docs.get(self.path)
                self.send_response(200 if body else 404)
                self.send_header("Content-Length", str(len(body or b"")))
                self.end_headers()
                self.wfile.write(body or b"")

            do_GET = do_POST

        self.server = ThreadingHTTPServer(("127.0.0.1", s.free_port()), Handler)
        self.address = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def offer_from(s, mirror, source):
    app = s.start(env=TRACE)
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    s.wait_popup(visible=True, timeout=10)
    s.check_eq(mirror.paths, DOCUMENTS, "requests the mirror saw")
    s.check_eq(s.access_log(), [], "requests to the built-in server")
    line = "policy in effect: Notify=on (built in), ServerUrl=%s (%s), ProxyLogon=all (built in)" \
           % (mirror.address, source)
    s.log("trace: %s" % trace_lines(app)[:2])
    s.check(line in trace_lines(app), "trace line %r" % line)
    return app


def run(s):
    user, machine = Mirror(s), Mirror(s)
    try:
        s.step("the user's ServerUrl; the machine's is no address")
        s.set_policy("HKCU", "ServerUrl", user.address + "/")
        s.set_policy("HKLM", "ServerUrl", "mirror.corp")
        app = offer_from(s, user, "policy HKCU")
        refused = "policy: ServerUrl of policy HKLM refused (not an http: or https: address): " \
                  "mirror.corp"
        s.check(refused in trace_lines(app), "trace line %r" % refused)
        s.probe("close")
        s.check_eq(s.wait_exit(app), 0, "exit code after close")

        s.step("the machine's ServerUrl wins over the user's")
        s.set_policy("HKLM", "ServerUrl", machine.address)
        app = offer_from(s, machine, "policy HKLM")
        s.check_eq(user.paths, DOCUMENTS, "requests the user's mirror saw")

        s.step("Notify=off while running: the next arrival ends the program")
        scans = s.watch_remote_reads()
        s.set_policy("HKLM", "Notify", "off")
        s.arrival()
        s.check_eq(s.wait_exit(app), 0, "exit code")
        s.check_eq(scans.count(), 0, "device scans after the arrival")
        line = "switched off by Notify=off (policy HKLM): the program ends at this arrival"
        s.check(line in trace_lines(app), "trace line %r" % line)
    finally:
        user.stop()
        machine.stop()
