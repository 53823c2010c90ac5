#!/usr/bin/env python3
"""check-layers.py on a small tree of two rooms, low below high: each way an
include could climb unseen fails, and includes that go down pass."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("check-layers.py")
GOOD = {"high/x.h": "", "high/x.cpp": '#include "x.h"\n#include "low/y.h"\n#include <string>\n',
        "low/y.h": "#include <cstdint>\n"}


def check(extra):
    with tempfile.TemporaryDirectory() as top:
        for name, text in {**GOOD, **extra}.items():
            path = pathlib.Path(top, "src", name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        return subprocess.run([sys.executable, str(CHECK), "--src", str(pathlib.Path(top, "src")),
                               "--layers", "low", "high"], capture_output=True).returncode


class CheckLayers(unittest.TestCase):
    def test_includes_that_go_down_pass(self):
        self.assertEqual(check({}), 0)

    def test_every_slipped_form_fails(self):
        for name, line in (("low/y.cpp", '#include"high/x.h"'), ("low/y.cpp", "#include <high/x.h>"),
                           ("low/y.cpp", '#  include "../high/x.h"'),
                           ("low/y.cpp", '#include "./../high/x.h"'),
                           ("low/y.cpp", "#include HIGH_HEADER"),
                           ("low/deep/z.inl", '#include "high/x.h"')):
            with self.subTest(name=name, line=line):
                self.assertEqual(check({name: line + "\n"}), 1)


if __name__ == "__main__":
    unittest.main()
