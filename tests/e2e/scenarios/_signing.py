"""Shared pieces of the signed-download scenarios: a fresh key pair made with
OpenSSL in the scenario's work folder (never committed), given to the testing
exe as its built-in key, and descriptions that carry a Signature."""
import os
import sys

import _download as d

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "signing"))
import openssl_signing  # noqa: E402


class Maker:
    """The maker's key pair; the testing exe gets the public half."""

    def __init__(self, s, name="maker"):
        os.makedirs(s.work, exist_ok=True)
        self.pem = os.path.join(s.work, name + ".pem")
        if os.path.exists(self.pem):
            os.unlink(self.pem)
        self.public = openssl_signing.keygen(self.pem)

    def sign(self, data):
        return openssl_signing.sign(self.pem, data)


def signed_description(maker, url, data, signature=None):
    """orvanteer.xml naming `url` with the MD5 of `data` and, by default, the
    maker's signature of `data`."""
    values = {"Verson": "3.2.1", "DownLoad": url, "MD5": d.md5_hex(data),
              "Signature": maker.sign(data) if signature is None else signature}
    return d.xml_option(**values)


def started_log(s):
    """The installer's log of its own starts, or None when it never ran."""
    path = d.installer_path(s) + ".log"
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def open_once(s):
    """Press Open on the completed state and check that the installer was
    started exactly once in the whole scenario."""
    s.click(d.OPEN)
    s.wait_popup(visible=False, timeout=10)
    log = s.wait_until(lambda: started_log(s), "the installer's log", timeout=30)
    lines = [line for line in log.splitlines() if line.strip()]
    s.check_eq(len(lines), 1, "starts of the installer (%r)" % lines)
