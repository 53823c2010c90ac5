#!/usr/bin/env python3
"""Fails when an include in src/ climbs a layer.

Every folder of src/ is a room on one floor of the program; a file may
include headers of its own room and of the floors below it. The floors, and
the few includes of the event chain that may go back up, are set once, at
the top of CMakeLists.txt (QMX_LAYERS, QMX_EVENT_CHAIN), and handed here:

  check-layers.py --src SRC --layers "support" "net" ... "device ui" "app"
                  --chain ROOM:HEADER ...

A floor lists its rooms separated by blanks; rooms on one floor do not
include each other. A chain entry lets ROOM include HEADER (room/file.h)
though it lies on a higher floor. A room of src/ that no floor names, and a
chain entry that no include uses any more, fail too, so that the table stays
true. Prints one line per fault and exits 1; prints a summary and exits 0
when every include goes down.

Every file under SRC is read, whatever its folder depth or suffix. An
include is any "#include" with "<" or '"' (blanks optional on both sides of
the '#'); its path is looked up beside the including file and then under
SRC, as the compiler does, and the room is the first folder of the file it
names there, so "../net/x.h", "./x.h" and <net/x.h> are held to the table
like "net/x.h". A path that names no file under SRC is a system or
dependency header. An include whose path is computed by a macro cannot be
checked and fails.
"""
import argparse
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')
ANY_INCLUDE = re.compile(r'^\s*#\s*include\b')


def resolve(header, including, src):
    """The file under src that `header` names from `including`, or None."""
    for base in (including.parent, src):
        candidate = (base / header).resolve()
        if candidate.is_file() and src in candidate.parents:
            return candidate
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--src", required=True)
    parser.add_argument("--layers", nargs="+", required=True)
    parser.add_argument("--chain", nargs="*", default=[])
    args = parser.parse_args()

    floor = {}
    for number, rooms in enumerate(args.layers):
        for room in rooms.split():
            floor[room] = number
    chain = set(args.chain)
    used_chain = set()
    faults = []
    includes = 0

    src = pathlib.Path(args.src).resolve()
    for path in sorted(p for p in src.rglob("*") if p.is_file()):
        parts = path.relative_to(src).parts
        room = parts[0] if len(parts) > 1 else ""
        shown = path.relative_to(src.parent)
        if room not in floor:
            faults.append(f"{shown}: room {room or '(none)'} is on no floor (QMX_LAYERS)")
            continue
        text = path.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                if ANY_INCLUDE.match(line):
                    faults.append(f"{shown}:{number}: computed include, cannot be checked")
                continue
            target_file = resolve(match.group(1) or match.group(2), path, src)
            if target_file is None:
                continue
            header = target_file.relative_to(src).as_posix()
            target = header.split("/", 1)[0]
            if target == room:
                continue
            if target not in floor:
                faults.append(f"{shown}:{number}: {room} includes {header}, in no room")
                continue
            includes += 1
            if floor[target] < floor[room]:
                continue
            entry = f"{room}:{header}"
            if entry in chain:
                used_chain.add(entry)
                continue
            way = "across to" if floor[target] == floor[room] else "up to"
            faults.append(f"{shown}:{number}: {room} includes {header}, {way} {target}")

    for entry in sorted(chain - used_chain):
        faults.append(f"event chain entry {entry} is used by no include")
    for fault in faults:
        print(f"check-layers: {fault}")
    if faults:
        return 1
    print(f"check-layers: {includes} includes between rooms, every one goes down "
          f"or is one of the {len(chain)} of the event chain")
    return 0


if __name__ == "__main__":
    sys.exit(main())
