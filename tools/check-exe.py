#!/usr/bin/env python3
"""Static checks of a built exe, for the one that ships as for the x86-64
testing tree's, on any machine (nothing here runs the exe):

    tools/check-exe.py EXE --arch x86|x64 --version X.Y.Z [--max-bytes N]

- the PE header: the machine and optional-header kind of the architecture
  (i386 and PE32, or AMD64 and PE32+), the Windows GUI subsystem;
- imports from system DLLs only: the runtime is linked in, so no MinGW DLL
  (libstdc++, libgcc, winpthread) and no dependency DLL is asked for;
- the size bound;
- the manifest resource: asInvoker, the exe's own processor architecture
  and the version;
- the version resource: its fixed file version.
Prints one line per check and exits 1 when one fails.
"""
import argparse
import struct
import sys
import xml.etree.ElementTree as ET

MACHINES = {"x86": (0x14C, 0x10B, "x86"), "x64": (0x8664, 0x20B, "amd64")}
SUBSYSTEM_GUI = 2
RT_VERSION, RT_MANIFEST = 16, 24
DIR_IMPORT, DIR_RESOURCE = 1, 2
SYSTEM_DLLS = {"kernel32", "user32", "gdi32", "shell32", "comctl32", "advapi32", "setupapi", "hid",
               "cfgmgr32", "ws2_32", "crypt32", "bcrypt", "winhttp", "secur32", "msvcrt", "ole32",
               "shlwapi", "wintrust", "iphlpapi", "normaliz", "wldap32", "rpcrt4", "ntdll",
               "oleacc", "oleaut32"}


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, nsect, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.dirs = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(nsect):
            vsize, va, rawsize, raw = struct.unpack_from("<IIII", data, opt + optsize + 40 * i + 8)
            self.sections.append((va, max(vsize, rawsize), raw))

    def off(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA %#x outside every section" % rva)

    def cstr(self, rva):
        o = self.off(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii", "replace")

    def imports(self):
        rva = self.dirs[DIR_IMPORT][0]
        names = []
        while rva:
            _, _, _, name, thunk = struct.unpack_from("<IIIII", self.data, self.off(rva))
            if not name and not thunk:
                break
            names.append(self.cstr(name))
            rva += 20
        return names

    def resources(self):
        """{type id: [bytes of each resource of that type]}"""
        base = self.off(self.dirs[DIR_RESOURCE][0]) if self.dirs[DIR_RESOURCE][0] else None
        found = {}
        if base is None:
            return found

        def entries(o):
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, o + 16 + 8 * i)

        def leaves(o):
            for _, child in entries(o):
                if child & 0x80000000:
                    yield from leaves(base + (child & 0x7FFFFFFF))
                else:
                    rva, size = struct.unpack_from("<II", self.data, base + child)
                    yield self.data[self.off(rva):self.off(rva) + size]

        for kind, child in entries(base):
            if child & 0x80000000 and not kind & 0x80000000:
                found[kind] = list(leaves(base + (child & 0x7FFFFFFF)))
        return found


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("exe")
    ap.add_argument("--arch", choices=sorted(MACHINES), required=True)
    ap.add_argument("--version", required=True)
    ap.add_argument("--max-bytes", type=int, default=1024 * 1024)
    args = ap.parse_args()
    with open(args.exe, "rb") as f:
        data = f.read()
    failed = []

    def check(ok, text):
        print("%s %s" % ("ok  " if ok else "FAIL", text))
        if not ok:
            failed.append(text)

    machine, magic, manifest_arch = MACHINES[args.arch]
    try:
        pe = Pe(data)
    except (ValueError, struct.error) as e:
        print("FAIL %s is not a PE file: %s" % (args.exe, e))
        return 1
    check(pe.machine == machine and pe.magic == magic,
          "%s: machine %#x, optional header %#x (%s wants %#x, %#x)" %
          (args.exe, pe.machine, pe.magic, args.arch, machine, magic))
    check(pe.subsystem == SUBSYSTEM_GUI, "subsystem %d (Windows GUI is %d)" % (pe.subsystem, SUBSYSTEM_GUI))
    dlls = pe.imports()
    foreign = [d for d in dlls if d.lower().removesuffix(".dll") not in SYSTEM_DLLS
               and not d.lower().startswith("api-ms-win-")]
    check(dlls and not foreign, "imports %s%s" % (", ".join(dlls), "; not system DLLs: %s" % foreign if foreign else ""))
    check(len(data) <= args.max_bytes, "size %d bytes (at most %d)" % (len(data), args.max_bytes))

    res = pe.resources()
    want = tuple(int(p) for p in args.version.split("."))
    manifests = res.get(RT_MANIFEST, [])
    ok, why = False, "no manifest resource"
    if len(manifests) == 1:
        try:
            root = ET.fromstring(manifests[0])
            ns = {"v1": "urn:schemas-microsoft-com:asm.v1", "v3": "urn:schemas-microsoft-com:asm.v3"}
            ident = root.find("v1:assemblyIdentity", ns)
            level = root.find(".//v3:requestedExecutionLevel", ns)
            got = (ident.get("processorArchitecture"), ident.get("version"), level.get("level"))
            ok = got == (manifest_arch, "%d.%d.%d.0" % want, "asInvoker")
            why = "architecture %s, version %s, execution level %s" % got
        except (ET.ParseError, AttributeError) as e:
            why = "unreadable: %s" % e
    check(ok, "manifest: " + why)
    versions = res.get(RT_VERSION, [])
    ok, why = False, "no version resource"
    for v in versions:
        at = v.find(struct.pack("<I", 0xFEEF04BD))
        if at >= 0:
            ms, ls = struct.unpack_from("<II", v, at + 8)
            got = (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
            ok = got == want + (0,)
            why = "file version %d.%d.%d.%d" % got
    check(ok, "version resource: %s (wanted %s.0)" % (why, args.version))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
