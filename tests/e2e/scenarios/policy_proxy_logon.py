# The ProxyLogon policy decides which proxies get the Windows logon (NTLM,
# squid). "configured": the manual proxy and the proxy a configured setup
# script names still get it, and the offer comes through them as without a
# policy; the proxy automatic detection finds (WPAD) gets it with "all" but
# not with "configured". "none": squid asks for a login, none is sent (its
# log shows no request with a user), and the trace names the policy.
# Detection needs the machine's DNS domain and a DNS server that knows the
# WPAD host: the scenario has a machine of its own (NAMESPACE), whose WPAD
# host is nginx on port 80.
import os
import subprocess

from qmx_e2e import CUSTOMERSETTING_PATH, TOOLS, customer_path, offer_documents, remote, \
    trace_lines, usb_path
import _kerberos
import _proxy

REMOTES = [remote(usb_path("ac01"), customer=7)]
SERVER = offer_documents(customer=7)
TIMEOUT = 120
NAMESPACE = {"host": "desk.qmx.test", "dns": {"wpad.qmx.test": "127.0.0.1"}}
WPAD_PORT = 80  # where detection looks, in the scenario's own network
TRACE = {"WINEDEBUG": "-all,warn+seh"}
SCRIPT_PATH = "/proxy.pac"
SCRIPT = 'function FindProxyForURL(url, host) { return "PROXY %s"; }\n'
USER = "%s\\%s" % (_kerberos.NTLM_DOMAIN, _kerberos.USER)


def start(s, in_effect):
    app = s.start(env=TRACE)
    s.check_eq(s.wait_settled(app), "running", "after start-up")
    line = "policy in effect: Notify=on (built in), ServerUrl=%s (built in), %s" % (s.server,
                                                                                   in_effect)
    s.log("trace: %s" % trace_lines(app)[0])
    s.check(line in trace_lines(app), "trace line %r" % line)
    return app


def offer_through(s, squid, in_effect):
    before = len(squid.requests())
    app = start(s, in_effect)
    s.wait_popup(visible=True, timeout=10)
    through = [(method, url, user) for method, url, status, user in squid.requests()[before:]
               if status != "407"]
    s.check_eq(through, [("POST", s.server + path, USER)
                         for path in (CUSTOMERSETTING_PATH, customer_path(7))],
               "requests squid let through")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")


def refused(s, squid, in_effect):
    """squid asks for a login and gets none; the trace names the policy."""
    before = len(squid.requests())
    app = start(s, in_effect)
    line = "proxy http://%s asks for a login (407) for %s, offering NTLM; the Windows logon " \
           "is withheld by %s: the transfer fails" % (squid.address,
                                                      s.server + CUSTOMERSETTING_PATH, in_effect)
    s.wait_until(lambda: line in trace_lines(app), "the trace line %r" % line, timeout=20)
    s.check_eq(s.popup()["visible"], False, "popup visible")
    s.check_eq([r for r in squid.requests()[before:] if r[2] != "407" or r[3] != "-"], [],
               "requests with a user or let through")
    s.check(len(squid.requests()) > before, "squid was asked")
    s.probe("close")
    s.check_eq(s.wait_exit(app), 0, "exit code after close")


def run(s):
    squid = _kerberos.Squid(s, "ntlm")
    wpad = os.path.join(s.work, "wpad")
    nginx = os.path.join(TOOLS, "serve-nginx.sh")
    try:
        _kerberos.store_credential(s)
        s.step("configured: the manual proxy gets the logon")
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.MANUAL_PROXY, squid.address))
        s.set_policy("HKLM", "ProxyLogon", "configured")
        s.set_policy("HKCU", "ProxyLogon", "all")
        offer_through(s, squid, "ProxyLogon=configured (policy HKLM)")

        s.step("configured: the proxy of the configured setup script gets the logon")
        s.put_document(SCRIPT_PATH, SCRIPT % squid.address)
        _proxy.set_user_proxy(s, _proxy.connection_settings(
            _proxy.DIRECT | _proxy.SETUP_SCRIPT, script=s.server + SCRIPT_PATH))
        offer_through(s, squid, "ProxyLogon=configured (policy HKLM)")

        s.step("all: the proxy automatic detection finds gets the logon")
        s.put_document("/wpad.dat", SCRIPT % squid.address)
        subprocess.run([nginx, "start", s.docroot, str(WPAD_PORT), wpad], check=True)
        _proxy.set_user_proxy(s, _proxy.connection_settings(_proxy.DIRECT | _proxy.AUTO_DETECT))
        s.set_policy("HKLM", "ProxyLogon", "all")
        offer_through(s, squid, "ProxyLogon=all (policy HKLM)")

        s.step("configured: the proxy automatic detection finds gets no logon")
        s.set_policy("HKLM", "ProxyLogon", "configured")
        refused(s, squid, "ProxyLogon=configured (policy HKLM)")

        s.step("none: no logon is sent, the trace names the policy")
        s.set_policy("HKLM", "ProxyLogon", "none")
        refused(s, squid, "ProxyLogon=none (policy HKLM)")
    finally:
        subprocess.run([nginx, "stop", wpad], check=False)
        _kerberos.remove_credential(s)
        _proxy.clear_user_proxy(s)
        squid.stop()
