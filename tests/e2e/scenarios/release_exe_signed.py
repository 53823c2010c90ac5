# The release exe signed the documented way (tools/sign-exe.sh, osslsigncode)
# with a throw-away certificate made here: osslsigncode verify accepts it
# against that certificate, refuses the unsigned exe and a signed one with a
# changed byte, signing without a key leaves the exe as it was, and the
# signed exe still runs under Wine (no remote: it ends with exit code 0).
import os
import shutil
import subprocess

from qmx_e2e import TOOLS

FLAVOR = "release"
TIMEOUT = 90


def sh(s, cmd, env=None, expect=0):
    r = subprocess.run(cmd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, timeout=60)
    if expect is not None:
        s.check(r.returncode == expect if expect == 0 else r.returncode != 0,
                "%s: exit %d, wanted %s: %s" % (" ".join(cmd), r.returncode,
                                                  "0" if expect == 0 else "non-zero",
                                                  r.stdout.decode(errors="replace")[-1500:]))
    return r


def run(s):
    work = os.path.join(s.work, "sign")
    os.makedirs(work)
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    exe = os.path.join(s.app_dir, s.exe_name)
    unsigned = os.path.join(work, "unsigned.exe")
    shutil.copyfile(exe, unsigned)

    s.step("a throw-away code-signing certificate")
    sh(s, ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
           "-subj", "/CN=QmxAssistant test signer", "-addext", "extendedKeyUsage=codeSigning",
           "-keyout", key, "-out", cert])
    env = dict(os.environ, QMX_SIGN_CERT=cert, QMX_SIGN_KEY=key)

    s.step("signing without a key fails and leaves the exe")
    sh(s, [os.path.join(TOOLS, "sign-exe.sh"), exe], env=dict(env, QMX_SIGN_KEY=""), expect=1)
    with open(exe, "rb") as a, open(unsigned, "rb") as b:
        s.check(a.read() == b.read(), "exe unchanged after the failed signing")

    s.step("sign and verify")
    sh(s, [os.path.join(TOOLS, "sign-exe.sh"), exe], env=env)
    sh(s, ["osslsigncode", "verify", "-CAfile", cert, "-in", exe])
    sh(s, ["osslsigncode", "verify", "-CAfile", cert, "-in", unsigned], expect=1)

    s.step("a changed byte breaks the signature")
    tampered = os.path.join(work, "tampered.exe")
    with open(exe, "rb") as f:
        data = bytearray(f.read())
    data[len(data) // 3] ^= 0xFF
    with open(tampered, "wb") as f:
        f.write(data)
    sh(s, ["osslsigncode", "verify", "-CAfile", cert, "-in", tampered], expect=1)

    s.step("the signed exe runs")
    app = s.start()
    s.check_eq(s.wait_exit(app), 0, "exit code")
