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
"""
import argparse
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


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

    src = pathlib.Path(args.src)
    for path in sorted(src.glob("*/*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        room = path.parent.name
        shown = path.relative_to(src.parent)
        if room not in floor:
            faults.append(f"{shown}: room {room} is on no floor (QMX_LAYERS)")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue
            header = match.group(1)
            target = header.split("/", 1)[0]
            if target not in floor or target == room:
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
