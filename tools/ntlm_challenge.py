#!/usr/bin/env python3
"""A squid NTLM authentication helper for the end-to-end scenarios: it
sends a well-formed challenge and accepts exactly one user, whose NTLMv2
answer it checks against that user's password. There is no domain
controller on the test machine, and squid's own ntlm_fake_auth sends a
challenge that the NTLM client of Wine (winbind's ntlm_auth) refuses.

    ntlm_challenge.py --user alice --domain QMX --password SECRET

squid's stateful NTLM helper protocol, one line each way:
    YR <type 1, base64>   ->  TT <type 2, base64>
    KK <type 3, base64>   ->  AF DOMAIN\\user   or   NA <reason>
Python's hashlib has no MD4 under OpenSSL 3, so it is written out here.
"""
import argparse
import base64
import hmac
import os
import struct
import sys

SIGNATURE = b"NTLMSSP\0"
# Unicode, request target, NTLM, always sign, target type domain, extended
# session security, target info, 128-bit, 56-bit.
CHALLENGE_FLAGS = 0x00000001 | 0x00000004 | 0x00000200 | 0x00008000 | 0x00010000 | \
    0x00080000 | 0x00800000 | 0x20000000 | 0x80000000
AV_EOL, AV_NB_COMPUTER, AV_NB_DOMAIN, AV_DNS_COMPUTER, AV_DNS_DOMAIN = 0, 1, 2, 3, 4


def _rotl(x, n):
    x &= 0xFFFFFFFF
    return ((x << n) | (x >> (32 - n))) & 0xFFFFFFFF


# MD4's three rounds: the mixing function, the added constant, the order
# in which the block's words are taken and the rotations.
_MD4_ROUNDS = (
    (lambda x, y, z: (x & y) | (~x & z), 0, tuple(range(16)), (3, 7, 11, 19)),
    (lambda x, y, z: (x & y) | (x & z) | (y & z), 0x5A827999,
     tuple((i % 4) * 4 + i // 4 for i in range(16)), (3, 5, 9, 13)),
    (lambda x, y, z: x ^ y ^ z, 0x6ED9EBA1,
     (0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15), (3, 9, 11, 15)),
)


def md4(data):
    """RFC 1320."""
    length = len(data) * 8
    data += b"\x80" + b"\0" * ((55 - len(data)) % 64) + struct.pack("<Q", length)
    state = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    for block in range(0, len(data), 64):
        x = struct.unpack("<16I", data[block:block + 64])
        v = list(state)
        for fn, const, order, shifts in _MD4_ROUNDS:
            for i in range(16):
                # a, d, c, b in turn take the step, mixing the other three.
                t = (-i) % 4
                v[t] = _rotl(v[t] + fn(v[(t + 1) % 4], v[(t + 2) % 4], v[(t + 3) % 4]) + x[order[i]] + const,
                             shifts[i % 4])
        state = [(p + q) & 0xFFFFFFFF for p, q in zip(state, v)]
    return struct.pack("<4I", *state)


def utf16(text):
    return text.encode("utf-16-le")


def challenge_message(domain, challenge):
    def av(kind, value):
        return struct.pack("<HH", kind, len(value)) + value
    computer = "PROXY"
    info = (av(AV_NB_DOMAIN, utf16(domain)) + av(AV_NB_COMPUTER, utf16(computer))
            + av(AV_DNS_DOMAIN, utf16(domain.lower() + ".test"))
            + av(AV_DNS_COMPUTER, utf16(computer.lower() + "." + domain.lower() + ".test"))
            + av(AV_EOL, b""))
    target = utf16(domain)
    head = 48
    return (SIGNATURE + struct.pack("<I", 2)
            + struct.pack("<HHI", len(target), len(target), head)
            + struct.pack("<I", CHALLENGE_FLAGS) + challenge + b"\0" * 8
            + struct.pack("<HHI", len(info), len(info), head + len(target))
            + target + info)


def _field(message, offset):
    length, _, start = struct.unpack_from("<HHI", message, offset)
    if start + length > len(message):
        raise ValueError("field past the message")
    return message[start:start + length]


def check_answer(message, challenge, user, password):
    """The DOMAIN\\user of a type 3 message whose NTLMv2 answer fits the
    challenge and the password; None otherwise."""
    if message[:8] != SIGNATURE or struct.unpack_from("<I", message, 8)[0] != 3:
        return None
    nt = _field(message, 20)
    domain = _field(message, 28).decode("utf-16-le", "replace")
    name = _field(message, 36).decode("utf-16-le", "replace")
    if name.lower() != user.lower() or len(nt) <= 24:
        return None
    owf = hmac.new(md4(utf16(password)), utf16(name.upper() + domain), "md5").digest()
    proof = hmac.new(owf, challenge + nt[16:], "md5").digest()
    return "%s\\%s" % (domain, name) if hmac.compare_digest(proof, nt[:16]) else None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", required=True)
    parser.add_argument("--domain", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()
    challenge = None
    for line in sys.stdin:
        parts = line.split()
        try:
            if parts and parts[0] == "YR":
                challenge = os.urandom(8)
                reply = "TT " + base64.b64encode(challenge_message(args.domain, challenge)).decode()
            elif len(parts) == 2 and parts[0] == "KK" and challenge:
                who = check_answer(base64.b64decode(parts[1]), challenge, args.user, args.password)
                reply = "AF " + who if who else "NA wrong answer"
                challenge = None
            else:
                reply = "BH unexpected request"
        except (ValueError, struct.error) as e:
            reply = "NA %s" % e
        sys.stdout.write(reply + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
