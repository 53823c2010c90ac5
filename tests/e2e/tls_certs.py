"""Certificates for the HTTPS scenarios, made fresh with the openssl command
line in a scenario's work folder (no key is kept anywhere else): a test
authority that the scenario makes the prefix trust, and server certificates
for "localhost" (good, expired, issued by an authority nobody trusts) or for
another name.
"""
import os
import subprocess

AUTHORITY_NAME = "QmxAssistant Test Authority"

_CA_CONF = """[ ca ]
default_ca = qmx
[ qmx ]
database = {dir}/index.txt
new_certs_dir = {dir}
serial = {dir}/serial
default_md = sha256
policy = any
unique_subject = no
[ any ]
commonName = supplied
[ server ]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:{host}
"""


def _openssl(*args, cwd):
    r = subprocess.run(["openssl"] + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    if r.returncode != 0:
        raise RuntimeError("openssl %s: %s" % (args[0], r.stdout.decode(errors="replace")))


class Authority:
    """A certificate authority in folder `folder` (cert.pem, key.pem and
    cert.der, the form the root store tool reads)."""

    def __init__(self, folder, name=AUTHORITY_NAME):
        self.dir = folder
        os.makedirs(folder, exist_ok=True)
        self.cert, self.key = os.path.join(folder, "ca.pem"), os.path.join(folder, "ca.key")
        self.der = os.path.join(folder, "ca.der")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.key, "-out",
                 self.cert, "-days", "30", "-subj", "/CN=" + name,
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
        _openssl("x509", "-in", self.cert, "-outform", "der", "-out", self.der, cwd=folder)
        open(os.path.join(folder, "index.txt"), "w").close()
        with open(os.path.join(folder, "serial"), "w") as f:
            f.write("1000\n")

    def server(self, label, host="localhost", expired=False, extensions=()):
        """A server certificate for `host`; returns (chain.pem, key.pem), the
        chain holding the server's certificate and the authority's.
        `extensions`: further lines of openssl's extension section, e.g.
        "crlDistributionPoints = URI:http://..."."""
        base = os.path.join(self.dir, label)
        conf = base + ".cnf"
        with open(conf, "w") as f:
            f.write(_CA_CONF.format(dir=self.dir, host=host))
            f.writelines(line + "\n" for line in extensions)
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out",
                 base + ".csr", "-subj", "/CN=" + host, cwd=self.dir)
        dates = (["-startdate", "20200101000000Z", "-enddate", "20200201000000Z"] if expired
                 else ["-days", "30"])
        _openssl("ca", "-batch", "-config", conf, "-cert", self.cert, "-keyfile", self.key,
                 "-in", base + ".csr", "-out", base + ".pem", "-extensions", "server",
                 "-notext", *dates, cwd=self.dir)
        chain = base + ".chain.pem"
        with open(chain, "w") as out:
            for part in (base + ".pem", self.cert):
                with open(part) as f:
                    out.write(f.read())
        return chain, base + ".key"
