"""Shared pieces of the scenarios with a proxy that asks for the Windows
logon: a Kerberos realm of the scenario's own (MIT krb5kdc on a loopback
port, its database, keytab and credential cache in a scratch folder that
user proxy can reach) and a squid that demands Negotiate or NTLM, whose
access.log names the user of every request.

Both run as processes of the scenario (the rig stops them with it, also on
failure). The packages are krb5-kdc, krb5-admin-server, krb5-user, squid
and winbind (whose ntlm_auth Wine's NTLM runs); a missing one fails the
scenario.

Wine's Kerberos reads krb5.conf and the credential cache that realm.env()
names: pass it to s.start(env=...). NTLM has no domain here: Wine answers
it with a credential stored for the proxy host (store_credential, with
tools/credstore), and tools/ntlm_challenge.py is squid's helper that checks
the answer against the test user.
"""
import os
import re
import shutil
import stat
import subprocess

REALM = "QMX.TEST"
USER = "alice"
PASSWORD = "Qmx-logon-24"
NTLM_DOMAIN = "QMX"
# The proxy is named "localhost", so the service principal is HTTP/localhost
# and no host name needs to be made up.
PROXY_HOST = "localhost"

_TOOLS = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "..", "tools"))
_PROGRAMS = {
    "krb5kdc": "krb5-kdc", "kdb5_util": "krb5-kdc", "kadmin.local": "krb5-admin-server",
    "kinit": "krb5-user", "kdestroy": "krb5-user", "squid": "squid", "ntlm_auth": "winbind",
    "python3": "python3",
}
_SBIN = ("/usr/sbin", "/usr/bin", "/sbin", "/bin")  # the system's own, not a user's
NEGOTIATE_HELPER = "/usr/lib/squid/negotiate_kerberos_auth"


def _program(s, name):
    for folder in _SBIN:
        path = os.path.join(folder, name)
        if os.access(path, os.X_OK):
            return path
    s.fail("%s is missing: install the package %s (tools/install-deps.sh)"
           % (name, _PROGRAMS.get(name, name)))


def _run(s, args, env, what, stdin=None):
    r = subprocess.run(args, env=env, input=stdin, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=60)
    s.check(r.returncode == 0, "%s: %s" % (what, r.stdout.decode(errors="replace")))


def _world_readable(path):
    os.chmod(path, os.stat(path).st_mode | stat.S_IROTH | stat.S_IRGRP)


class Realm:
    """The realm QMX.TEST with user alice and the proxy's service key, its
    KDC listening on a free port of the scenario's range. kinit() gives
    alice a ticket in the cache that env() names; kdestroy() takes it."""

    def __init__(self, s):
        self._s = s
        # squid's helper runs as user proxy and reads the keytab and krb5.conf.
        self.dir = s.scratch_dir("krb5")
        os.chmod(self.dir, 0o755)
        self.port = s.free_port()
        self.conf = os.path.join(self.dir, "krb5.conf")
        self.keytab = os.path.join(self.dir, "proxy.keytab")
        self.cache = os.path.join(self.dir, "ccache")
        kdc = "127.0.0.1:%d" % self.port
        with open(self.conf, "w") as f:
            # The realm's braces stand on lines of their own: krb5 reads the
            # one-line form as no KDC at all.
            f.write("[libdefaults]\n default_realm = %s\n dns_lookup_kdc = false\n"
                    " dns_lookup_realm = false\n rdns = false\n"
                    " dns_canonicalize_hostname = false\n"
                    "[realms]\n %s = {\n  kdc = %s\n }\n"
                    "[domain_realm]\n %s = %s\n" % (REALM, REALM, kdc, PROXY_HOST, REALM))
        kdc_conf = os.path.join(self.dir, "kdc.conf")
        with open(kdc_conf, "w") as f:
            f.write("[kdcdefaults]\n kdc_listen = %s\n kdc_tcp_listen = %s\n"
                    "[realms]\n %s = {\n  database_name = %s\n  key_stash_file = %s\n"
                    "  acl_file = %s\n }\n[logging]\n kdc = FILE:%s\n"
                    % (kdc, kdc, REALM, os.path.join(self.dir, "principal"),
                       os.path.join(self.dir, "stash"), os.path.join(self.dir, "kadm5.acl"),
                       os.path.join(self.dir, "kdc.log")))
        open(os.path.join(self.dir, "kadm5.acl"), "w").close()
        self._admin_env = dict(os.environ, KRB5_CONFIG=self.conf, KRB5_KDC_PROFILE=kdc_conf)
        _run(s, [_program(s, "kdb5_util"), "create", "-s", "-r", REALM, "-P", "qmx-master-24"],
             self._admin_env, "kdb5_util create")
        for query in ("addprinc -pw %s %s" % (PASSWORD, USER), "addprinc -randkey HTTP/%s" % PROXY_HOST,
                      "ktadd -k %s HTTP/%s" % (self.keytab, PROXY_HOST)):
            _run(s, [_program(s, "kadmin.local"), "-r", REALM, "-q", query], self._admin_env,
                 "kadmin.local %s" % query.split()[0])
        _world_readable(self.keytab)
        _world_readable(self.conf)
        self.kdc_log = os.path.join(self.dir, "kdc.log")
        self._proc = subprocess.Popen([_program(s, "krb5kdc"), "-n"], env=self._admin_env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL)
        s.track_process(self._proc)
        s.wait_until(lambda: "commencing operation" in _read(self.kdc_log),
                     "the KDC to listen", timeout=20)

    def env(self):
        """What Wine needs to find the realm and alice's tickets."""
        return {"KRB5_CONFIG": self.conf, "KRB5CCNAME": "FILE:" + self.cache,
                "KRB5RCACHETYPE": "none"}

    def kinit(self):
        _run(self._s, [_program(self._s, "kinit"), USER], dict(os.environ, **self.env()),
             "kinit %s" % USER, stdin=(PASSWORD + "\n").encode())

    def kdestroy(self):
        _run(self._s, [_program(self._s, "kdestroy")], dict(os.environ, **self.env()), "kdestroy")

    def service_tickets(self):
        """How often the KDC issued a ticket for the proxy's service."""
        return len(re.findall(r"TGS_REQ .* ISSUE: .* for HTTP/%s@" % PROXY_HOST,
                              _read(self.kdc_log)))


def _credstore(s, *args):
    tool = os.path.join(s.build_dir, "tools", "qmx_credstore.exe")
    if not os.path.isfile(tool):
        s.fail("missing %s: build the target qmx_credstore" % tool)
    return subprocess.run([s.wine, tool] + list(args), env=s.env(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)


def store_credential(s):
    """The NTLM logon of QMX\\alice for the proxy's host, in the prefix's
    credential store; take it out with remove_credential (the prefix
    outlives the scenario)."""
    r = _credstore(s, "add", PROXY_HOST, "%s\\%s" % (NTLM_DOMAIN, USER), PASSWORD)
    s.check(r.returncode == 0, "qmx_credstore add: %s" % r.stdout.decode(errors="replace"))


def remove_credential(s):
    _credstore(s, "remove", PROXY_HOST)


def _read(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


class Squid:
    """squid on a free port of the scenario's range that lets through only
    requests authenticated with `scheme` ("negotiate", with the realm's
    keytab, or "ntlm", checked against alice's password). CONNECT goes
    only to connect_ports. refuse_hosts: hosts every request to which is
    asked for a login again (407) even once authenticated, as a proxy does
    that denies a user some destinations."""

    def __init__(self, s, scheme, realm=None, connect_ports=(), refuse_hosts=()):
        self._s = s
        self.port = s.free_port()
        self.address = "%s:%d" % (PROXY_HOST, self.port)
        self.dir = s.scratch_dir("squid-" + scheme)  # squid drops to user proxy
        self.log = os.path.join(self.dir, "access.log")
        self.cache_log = os.path.join(self.dir, "cache.log")
        env = dict(os.environ)
        if scheme == "negotiate":
            helper = "%s -k %s -s GSS_C_NO_NAME" % (NEGOTIATE_HELPER, realm.keytab)
            if not os.access(NEGOTIATE_HELPER, os.X_OK):
                s.fail("%s is missing: install the package squid" % NEGOTIATE_HELPER)
            env.update(realm.env())
        else:
            _program(s, "ntlm_auth")  # what Wine answers NTLM with
            # squid runs its helper as user proxy: the system's Python.
            # Its copy where user proxy can read it.
            script = os.path.join(self.dir, "ntlm_challenge.py")
            shutil.copyfile(os.path.join(_TOOLS, "ntlm_challenge.py"), script)
            _world_readable(script)
            helper = "%s %s --user %s --domain %s --password %s" % (
                _program(s, "python3"), script, USER, NTLM_DOMAIN, PASSWORD)
        lines = [
            "http_port 127.0.0.1:%d" % self.port,
            "pid_filename %s" % os.path.join(self.dir, "squid.pid"),
            "access_log stdio:%s squid" % self.log,
            "cache_log %s" % self.cache_log,
            "cache_store_log none",
            "coredump_dir %s" % self.dir,
            "cache deny all",
            "shutdown_lifetime 0 seconds",
            "visible_hostname %s" % PROXY_HOST,
            "auth_param %s program %s" % (scheme, helper),
            "auth_param %s children 2 startup=1" % scheme,
            "acl authenticated proxy_auth REQUIRED",
            "acl CONNECT method CONNECT",
            "acl tunnel_ports port %s" % (" ".join(str(p) for p in connect_ports) or "1"),
        ]
        if refuse_hosts:
            lines += ["acl refused dstdomain -n %s" % " ".join(refuse_hosts),
                      # A deny whose last ACL asks for a login answers 407.
                      "http_access deny refused authenticated"]
        lines += ["http_access deny CONNECT !tunnel_ports",
                  "http_access allow authenticated", "http_access deny all"]
        conf = os.path.join(self.dir, "squid.conf")
        with open(conf, "w") as f:
            f.write("\n".join(line for line in lines if line) + "\n")
        self._proc = subprocess.Popen([_program(s, "squid"), "-N", "-f", conf], env=env,
                                      stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                      stderr=subprocess.STDOUT)
        s.track_process(self._proc)
        s.wait_until(lambda: self._proc.poll() is not None or
                     "Accepting HTTP Socket connections" in _read(self.cache_log),
                     "squid to listen", timeout=30)
        s.check(self._proc.poll() is None, "squid ended: %s" % _read(self.cache_log)[-2000:])

    def requests(self):
        """(method, URL, status, user) of every request squid answered;
        user is "-" for one it answered without a login."""
        out = []
        for line in _read(self.log).splitlines():
            fields = line.split()
            if len(fields) >= 8:
                # squid writes the backslash of DOMAIN\\user doubled.
                out.append((fields[5], fields[6], fields[3].split("/")[-1],
                            fields[7].replace("\\\\", "\\")))
        return out

    def stop(self):
        if self._proc.poll() is None:
            self._proc.terminate()
            try:
                self._proc.wait(15)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()
