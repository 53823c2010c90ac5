"""Installer signatures made with the openssl command-line tool, for the tests:
an independent signer beside qmxpublish, so the assistant's verifier is
checked against OpenSSL itself. Keys and signatures are made fresh at test
time; none is committed.

Forms (as the assistant reads them): the public key text is base64 of the
64-byte point X || Y; a signature is base64 of the 64-byte r || s of an
ECDSA P-256 signature over the SHA-256 digest of the file.

    openssl_signing.py fixtures OUTDIR
        writes the unit-test fixtures: key.txt, other-key.txt, signed.bin,
        signed.sig (its signature), other.bin, other.sig (another file's)
"""
import base64
import os
import subprocess
import sys
import tempfile


def _openssl(*args, data=None):
    return subprocess.run(["openssl"] + list(args), input=data, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, check=True).stdout


def keygen(pem_path):
    """Writes a new P-256 private key (PEM) and returns the public key text."""
    _openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256",
             "-out", pem_path)
    der = _openssl("pkey", "-in", pem_path, "-pubout", "-outform", "DER")
    point = der[-65:]  # SubjectPublicKeyInfo ends with the point 04 || X || Y
    if point[0] != 4:
        raise ValueError("unexpected public key encoding")
    return base64.b64encode(point[1:]).decode()


def _der_integer(data, pos):
    if data[pos] != 0x02:
        raise ValueError("not a DER INTEGER")
    length = data[pos + 1]
    value = int.from_bytes(data[pos + 2:pos + 2 + length], "big")
    return value, pos + 2 + length


def der_to_raw(der):
    """r || s, 32 bytes each, of a DER ECDSA-Sig-Value."""
    if der[0] != 0x30:
        raise ValueError("not a DER SEQUENCE")
    pos = 3 if der[1] & 0x80 else 2
    r, pos = _der_integer(der, pos)
    s, _ = _der_integer(der, pos)
    return r.to_bytes(32, "big") + s.to_bytes(32, "big")


def sign(pem_path, data):
    """Signature text of `data` (bytes) under the PEM private key."""
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(data)
        name = f.name
    try:
        der = _openssl("dgst", "-sha256", "-sign", pem_path, name)
    finally:
        os.unlink(name)
    return base64.b64encode(der_to_raw(der)).decode()


def write_fixtures(out):
    os.makedirs(out, exist_ok=True)
    signed = os.urandom(100000) + b"signed installer"
    other = os.urandom(5000) + b"another installer"
    with tempfile.TemporaryDirectory() as keys:
        key = os.path.join(keys, "key.pem")
        other_key = os.path.join(keys, "other-key.pem")
        files = {
            "key.txt": keygen(key),
            "other-key.txt": keygen(other_key),
            "signed.sig": sign(key, signed),
            "other.sig": sign(key, other),
        }
    files = {name: text.encode() for name, text in files.items()}
    files["signed.bin"] = signed
    files["other.bin"] = other
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "fixtures":
        write_fixtures(sys.argv[2])
    else:
        sys.exit(__doc__)
