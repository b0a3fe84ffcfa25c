#!/usr/bin/env python3
"""The .m checker: each Octave-only form is found outside Octave's branches, and nothing is
found where only Octave runs the code or where the form is only text, a field or a variable."""

import importlib.util
import sys
import tempfile
import unittest
from pathlib import Path

root = Path(__file__).resolve().parents[2]
loader_spec = importlib.util.spec_from_file_location("check_matlab_code", root / "scripts" / "check_matlab_code.py")
checker = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(checker)


def findings(body):
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "f.m"
        path.write_text("function f (x)\n" + body + "\nend\n")
        return checker.Checker(str(path)).check()


class Found(unittest.TestCase):
    CASES = [
        ("# comment", "# comment"),
        ("printf ('%d', x);", "printf"),
        ("disp (\"text\");", "double-quoted"),
        ("x += 1;", "compound"),
        ("x++;", "increment"),
        ("y = !x;", "!"),
        ("y = x != 1;", "!"),
        ("y = x ** 2;", "**"),
        ("if x, y = 1; endif", "endif"),
        ("unwind_protect\n  y = 1;\nunwind_protect_cleanup\n  y = 2;\nend_unwind_protect", "unwind_protect"),
        ("y = rows (x) + columns (x);", "rows"),
        ("fdisp (stdout, x);", "fdisp"),
        ("y = __octave_config_info__ ();", "Octave-internal"),
        # The wrong branch of the test, or a condition that merely mentions it.
        ("if ~exist ('OCTAVE_VERSION', 'builtin')\n  puts ('a');\nend", "puts"),
        ("if exist ('OCTAVE_VERSION', 'builtin')\n  y = 1;\nelse\n  puts ('a');\nend", "puts"),
        ("if exist ('OCTAVE_VERSION', 'builtin') || x\n  puts ('a');\nend", "puts"),
        ("if exist ('OCTAVE_VERSION', 'builtin')\n  y = 1;\nend\nputs ('a');", "puts"),
        ("y = 1; ...\n  puts ('a');", "puts"),
        # MATLAB parses the whole file: Octave's syntax fails there even in Octave's branch.
        ("if exist ('OCTAVE_VERSION', 'builtin')\n  x += 1;\nend", "compound"),
        ("if exist ('OCTAVE_VERSION', 'builtin')\n  if x, y = 1; endif\nend", "endif"),
        ("helper ();\nend\nfunction helper ()\n  y = !x;", "!"),
        # A variable of one function does not hide the function in another.
        ("y = rows (x);\nend\nfunction z = helper (rows)\n  z = rows;", "rows"),
    ]

    def test_each_form_is_found(self):
        for body, expected in self.CASES:
            with self.subTest(body=body):
                found = findings(body)
                self.assertTrue(any(expected in line for line in found), found)

    def test_a_local_function_called_unguarded(self):
        found = findings("helper ();\nend\nfunction helper ()\n  puts ('a');")
        self.assertTrue(any("puts" in line for line in found), found)


class NotFound(unittest.TestCase):
    CASES = [
        "if exist ('OCTAVE_VERSION', 'builtin')\n  printf ('a');\n  fdisp (stdout, x);\nend",
        "if x && exist ('OCTAVE_VERSION', 'builtin')\n  puts ('a');\nend",
        "if ~exist ('OCTAVE_VERSION', 'builtin')\n  y = 1;\nelse\n  puts ('a');\nend",
        "if x\n  y = 1;\nelseif exist ('OCTAVE_VERSION', 'builtin')\n  puts ('a');\nend",
        "in_octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;\nif in_octave\n  puts ('a');\nend",
        "if exist ('OCTAVE_VERSION', 'builtin')\n  for i = 1:2\n    puts ('a');\n  end\nend",
        "y = 'text with # and ! and \"quotes\" and rows';",
        "y = x'; z = x.'; w = {x}';",
        "rows = 3; y = rows * 2;",
        "y = x.rows;",
        "y = unique (x, 'rows');",
        "%{\n# inside a block comment\n%}",
        "y = 1;  % a comment with printf and # and !",
        "y = x ~= 1;",
        "if exist ('OCTAVE_VERSION', 'builtin')\n  helper ();\nend\nend\nfunction helper ()\n  puts ('a');",
    ]

    def test_guarded_or_harmless(self):
        for body in self.CASES:
            with self.subTest(body=body):
                self.assertEqual(findings(body), [])

    def test_self_tests_are_skipped(self):
        self.assertEqual(findings("y = 1;\nend\n%!test\n%! printf (\"%d\", 1);\n%! x += 1;\n%!"), [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
