#!/usr/bin/env python3
"""Checks that .m files are MATLAB code: no Octave-only syntax anywhere (MATLAB parses the
whole file before it runs any of it), and no Octave-only function outside a branch that runs
only in Octave.

    python3 scripts/check_matlab_code.py [FILE.m ...]

Without files it checks what a MATLAB user runs: octave/*.m, octave/private/*.m and make.m.
Prints one line per finding (file:line: what) and exits with 1 when there is any.

Octave-only functions are allowed where only Octave runs them:
- in the branch of `if exist ('OCTAVE_VERSION', 'builtin')` (also as one `&&` term of the
  condition, as an `elseif`, or through a variable assigned from that test, such as
  `in_octave = exist (...) ~= 0` or a parameter of that name), and in the `else` branch of
  `if ~exist (...)`;
- in a local function that is referenced only from such places;
- in the self-test blocks (lines that start with %!), which only Octave reads.
"""

import re
import sys
from pathlib import Path

OCTAVE_ONLY_FUNCTIONS = {
    "printf", "puts", "fputs", "fdisp", "rows", "columns", "print_usage", "fflush", "stdout",
    "stderr", "make_absolute_filename", "confirm_recursive_rmdir", "mkoctfile", "argv",
    "program_name", "have_window_system", "available_graphics_toolkits", "graphics_toolkit",
    "nthargout", "ifelse", "merge", "isargout", "nproc", "pkg", "parcellfun", "pararrayfun",
    "index", "rindex", "postpad", "prepad", "resize", "vec", "lookup", "ostrsplit", "substr",
    "octave_config_info", "OCTAVE_HOME", "is_function_handle", "isdigit", "toascii",
    "do_string_escapes", "undo_string_escapes", "fskipl", "kbhit", "sizemax", "waitpid",
    "WNOHANG", "getpid", "kill", "glob", "fork", "dup2", "unlink", "canonicalize_file_name",
}
OCTAVE_ONLY_KEYWORDS = {
    "endif", "endfor", "endwhile", "endfunction", "endswitch", "end_try_catch",
    "end_unwind_protect", "endparfor", "unwind_protect", "unwind_protect_cleanup", "until",
    "do", "endspmd",
}
KEPT_LITERALS = {"'OCTAVE_VERSION'", "'builtin'"}
OPENERS = {"if", "for", "while", "switch", "try", "parfor", "spmd", "unwind_protect", "do"}
OCTAVE_TEST = re.compile(r"^exist\s*\(\s*'OCTAVE_VERSION'\s*(,\s*'builtin'\s*)?\)(\s*~=\s*0)?$")
IDENT = re.compile(r"[A-Za-z_][A-Za-z0-9_]*")
OPERATORS = [
    (re.compile(r"\+\+|--"), "increment operator (++ or --)"),
    (re.compile(r"[-+*/^|&]="), "compound assignment (+=, -=, ...)"),
    (re.compile(r"!"), "! (use ~)"),
    (re.compile(r"\*\*"), "** (use ^)"),
    (re.compile(r'"'), 'double-quoted text (a string in MATLAB, a char in Octave; use single quotes)'),
    (re.compile(r"#"), "# comment (use %)"),
]


def strip_line(line):
    """The code of a line with its text literals blanked and its comment removed."""
    out = []
    i = 0
    n = len(line)
    while i < n:
        c = line[i]
        if c == "%":
            break
        if c == "'":
            prev = line[i - 1] if i > 0 else ""
            if prev and (prev.isalnum() or prev in "_)]}.'"):
                out.append(c)  # transpose
                i += 1
                continue
            j = i + 1
            while j < n:
                if line[j] == "'" and j + 1 < n and line[j + 1] == "'":
                    j += 2
                elif line[j] == "'":
                    break
                else:
                    j += 1
            # Text is blanked, except the words of the Octave test.
            literal = line[i:j + 1]
            out.append(literal if literal in KEPT_LITERALS else "''")
            i = j + 1
            continue
        out.append(c)
        i += 1
    return "".join(out)


def logical_lines(text):
    """(first line number, code) for each statement line, continuations joined, self-tests
    and block comments left out."""
    lines = text.splitlines()
    in_block_comment = False
    pending = None
    for number, raw in enumerate(lines, 1):
        stripped = raw.strip()
        if stripped.startswith("%!") or stripped.startswith("#!"):
            continue
        if stripped in ("%{", "#{"):
            in_block_comment = True
            continue
        if in_block_comment:
            if stripped in ("%}", "#}"):
                in_block_comment = False
            continue
        code = strip_line(raw)
        if pending is not None:
            start, text_so_far = pending
            code = text_so_far + " " + code
        else:
            start = number
        if code.rstrip().endswith("..."):
            pending = (start, code.rstrip()[:-3])
            continue
        pending = None
        yield start, code


def split_statements(code):
    """Statements of a line, split at commas and semicolons outside brackets."""
    depth = 0
    current = []
    for c in code:
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth = max(depth - 1, 0)
        if c in ",;" and depth == 0:
            yield "".join(current).strip()
            current = []
        else:
            current.append(c)
    yield "".join(current).strip()


def split_and(condition):
    depth = 0
    parts, current = [], []
    i = 0
    while i < len(condition):
        c = condition[i]
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        if depth == 0 and condition.startswith("&&", i):
            parts.append("".join(current).strip())
            current = []
            i += 2
            continue
        current.append(c)
        i += 1
    parts.append("".join(current).strip())
    return parts


def unwrap(condition):
    condition = condition.strip()
    while condition.startswith("(") and condition.endswith(")"):
        condition = condition[1:-1].strip()
    return condition


class Checker:
    def __init__(self, path):
        self.path = path
        self.text = Path(path).read_text(encoding="utf-8", errors="replace")
        self.statements = list(self._statements())
        self.flags = self._octave_flags()

    def _statements(self):
        for number, code in logical_lines(self.text):
            for statement in split_statements(code):
                if statement:
                    yield number, statement

    def _octave_flags(self):
        flags = set()
        for _, s in self.statements:
            m = re.match(r"^([A-Za-z_]\w*)\s*=\s*(.*)$", s)
            if m and OCTAVE_TEST.match(unwrap(m.group(2))):
                flags.add(m.group(1))
        return flags

    @staticmethod
    def _variables(statements):
        """The names that a function's code assigns or takes as parameters."""
        names = set()
        for s in statements:
            m = re.match(r"^function\s+(?:(\[[^\]]*\]|\w+)\s*=\s*)?\w+\s*(?:\(([^)]*)\))?", s)
            if m:
                names.update(IDENT.findall(m.group(1) or ""))
                names.update(IDENT.findall(m.group(2) or ""))
                continue
            m = re.match(r"^(?:for|parfor)\s*\(?\s*(\w+)\s*=", s)
            if m:
                names.add(m.group(1))
            m = re.match(r"^\[([^\]]*)\]\s*=[^=]", s)
            if m:
                names.update(IDENT.findall(m.group(1)))
            m = re.match(r"^(\w+)\s*(?:\([^=]*\)|\{[^=]*\}|\.\w+)*\s*=[^=]", s)
            if m:
                names.add(m.group(1))
            for params in re.findall(r"@\s*\(([^)]*)\)", s):
                names.update(IDENT.findall(params))
        return names

    def is_octave_test(self, condition):
        condition = unwrap(condition)
        return bool(OCTAVE_TEST.match(condition)) or condition in self.flags

    def branch_of(self, condition):
        """(then runs only in Octave, else runs only in Octave) for an if condition."""
        condition = unwrap(condition)
        if any(self.is_octave_test(part) for part in split_and(condition)):
            return True, False
        if condition.startswith("~") and not condition.startswith("~=") and self.is_octave_test(condition[1:]):
            return False, True
        return False, False

    def check(self):
        findings = []
        # Pass 1: where each local function is referenced, and from which context; the
        # code of each function with its context.
        functions = []  # [name, [(line, statement, octave_context)]]
        stack = []
        for number, s in self.statements:
            word = IDENT.match(s)
            word = word.group(0) if word else ""
            if word == "function":
                m = re.match(r"^function\s+(?:(?:\[[^\]]*\]|\w+)\s*=\s*)?(\w+)", s)
                functions.append([m.group(1) if m else "?", [], s])
                stack = []
                continue
            if not functions:
                functions.append(["<script>", [], ""])
            octave_now = any(frame["octave"] for frame in stack)
            if word in ("if", "elseif"):
                then_octave, else_octave = self.branch_of(s[len(word):])
                if word == "if":
                    stack.append({"kind": "if", "octave": then_octave, "else": else_octave})
                else:
                    if stack:
                        stack[-1]["octave"] = then_octave
                functions[-1][1].append((number, s[len(word):], any(f["octave"] for f in stack)))
                continue
            if word == "else" and stack:
                stack[-1]["octave"] = stack[-1]["else"]
                rest = s[len(word):].strip()
                if rest:
                    functions[-1][1].append((number, rest, any(f["octave"] for f in stack)))
                continue
            if word in OPENERS:
                inherited = False
                stack.append({"kind": word, "octave": inherited, "else": inherited})
                functions[-1][1].append((number, s, octave_now))
                continue
            if s == "end" or word in ("endif", "endfor", "endwhile", "endfunction", "endswitch",
                                      "end_try_catch", "end_unwind_protect"):
                if word != "end":
                    functions[-1][1].append((number, s, octave_now))
                if stack:
                    stack.pop()
                continue
            functions[-1][1].append((number, s, octave_now))

        names = {f[0] for f in functions}
        main = functions[0][0] if functions else None
        octave_functions = set()
        changed = True
        while changed:
            changed = False
            for name in names - octave_functions - {main}:
                references = [
                    (owner, octave)
                    for owner, body, _ in functions
                    for _, s, octave in body
                    if re.search(r"(?<![\w.])" + re.escape(name) + r"\b", s) and owner != name
                ]
                if references and all(octave or owner in octave_functions for owner, octave in references):
                    octave_functions.add(name)
                    changed = True

        for owner, body, signature in functions:
            variables = self._variables([signature] + [s for _, s, _ in body])
            for number, s, octave in body:
                only_octave_runs_it = octave or owner in octave_functions
                for what in self.problems(s, only_octave_runs_it, variables):
                    findings.append((number, what))
        for number, s in self.statements:
            # Closing keywords are not kept in the bodies.
            word = IDENT.match(s)
            if word and word.group(0) in OCTAVE_ONLY_KEYWORDS and word.group(0).startswith("end"):
                findings.append((number, f"Octave-only keyword {word.group(0)}"))
        return [f"{self.path}:{number}: {what}" for number, what in sorted(set(findings))]

    def problems(self, s, only_octave_runs_it, variables):
        for pattern, what in OPERATORS:
            if pattern.search(s):
                yield what
        for m in IDENT.finditer(s):
            name = m.group(0)
            before = s[: m.start()].rstrip()
            if before.endswith("."):
                continue  # a field
            if name in OCTAVE_ONLY_KEYWORDS:
                yield f"Octave-only keyword {name}"
            elif only_octave_runs_it:
                continue
            elif name in OCTAVE_ONLY_FUNCTIONS and name not in variables:
                yield f"Octave-only function {name}"
            elif name.startswith("__") and name.endswith("__"):
                yield f"Octave-internal name {name}"


def main(argv):
    root = Path(__file__).resolve().parent.parent
    files = argv[1:] or sorted(
        [str(p) for p in (root / "octave").glob("*.m")]
        + [str(p) for p in (root / "octave" / "private").glob("*.m")]
        + [str(root / "make.m")]
    )
    findings = []
    for path in files:
        findings.extend(Checker(path).check())
    for line in findings:
        print(line)
    print(f"check_matlab_code: {len(files)} files, {len(findings)} findings")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
