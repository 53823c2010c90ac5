#!/usr/bin/env python3
"""check-layers.py on small trees: each way an include can climb a floor
unseen fails the check, and a tree whose includes all go down passes.
The trees have two rooms, low below high."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

CHECK = pathlib.Path(__file__).with_name("check-layers.py")
GOOD = {
    "high/x.h": "#pragma once\n",
    "high/x.cpp": '#include "x.h"\n#include "low/y.h"\n#include <string>\n',
    "low/y.h": "#pragma once\n#include <cstdint>\n",
}


def check(extra):
    with tempfile.TemporaryDirectory() as top:
        src = pathlib.Path(top) / "src"
        for name, text in {**GOOD, **extra}.items():
            (src / name).parent.mkdir(parents=True, exist_ok=True)
            (src / name).write_text(text)
        run = subprocess.run([sys.executable, str(CHECK), "--src", str(src), "--layers", "low",
                              "high"], capture_output=True, text=True)
        return run.returncode, run.stdout


class CheckLayers(unittest.TestCase):
    def test_a_tree_that_goes_down_passes(self):
        self.assertEqual(check({})[0], 0)

    def test_every_slipped_form_fails(self):
        for line in ('#include"high/x.h"', "#include <high/x.h>", '#  include "../high/x.h"',
                     '#include "./../high/x.h"', "#include HIGH_HEADER"):
            with self.subTest(line=line):
                code, out = check({"low/y.cpp": line + "\n"})
                self.assertEqual(code, 1, out)
                self.assertIn("low/y.cpp:1:", out)

    def test_every_file_under_src_is_read(self):
        code, out = check({"low/deep/z.inl": '#include "high/x.h"\n'})
        self.assertEqual(code, 1, out)


if __name__ == "__main__":
    unittest.main()
