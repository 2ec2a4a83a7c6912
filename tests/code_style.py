#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""One style for every C++ file that git tracks; prints each place that
departs from it as FILE:LINE: WHAT and exits 1.

- the layout of .clang-format (clang-format --dry-run);
- in the application's layers, every body of if, else, for, while and do in
  braces (linux/ and the tests still have one-line bodies without);
- one declaration or expression per statement: no comma operator, and no
  comma at statement level or directly in a control statement's parentheses;
- the application's layers use the firmware's BOOLEAN, TRUE and FALSE, never
  C++'s bool; linux/ keeps its own flags in bool, and BOOLEAN only in the
  parameters of the firmware services it implements (EFIAPI).

Usage: code_style.py SOURCE-DIR [FILE...]   (no FILE: every tracked C++ file)
"""
import os
import re
import shutil
import subprocess
import sys

APPLICATION = ("app/", "common/", "console/", "volumes/", "loadoption/", "bootvars/", "include/")
LINUX = ("linux/",)
# Where every body must be in braces.
BRACED = APPLICATION
CONTROL = {"if", "for", "while", "switch"}
# The token before a "{" that opens a block of statements.
BLOCK_AFTER = {")", "else", "do", "try", "const", "override", "noexcept", "mutable", "final", "]"}
TOKEN = re.compile(r"[A-Za-z_]\w*|\d[\w.']*|::|->|<<=|>>=|<<|>>|<=|>=|==|!=|&&|\|\||\+\+|--|\S")
# A comment, or a literal whose contents the checks must not read.
LEXEME = re.compile(r'//[^\n]*|/\*.*?\*/|(?:u8|[uUL])?"(?:\\.|[^"\\\n])*"|(?:u8|[uUL])?\'(?:\\.|[^\'\\\n])*\'',
                    re.S)


def blank(match):
    """A literal or comment as white space of the same lines."""
    text = match.group(0)
    keep = '""' if text.endswith('"') else ("' '" if text.endswith("'") else "")
    return keep + re.sub(r"[^\n]", " ", text[len(keep):])


def tokens(source):
    """[(token, line)] of the code, without comments, literals' contents and
    preprocessor lines."""
    code = LEXEME.sub(blank, source)
    code = re.sub(r"^[ \t]*#(?:[^\n]*\\\n)*[^\n]*", lambda m: re.sub(r"[^\n]", " ", m.group(0)), code,
                  flags=re.M)
    found = []
    for number, line in enumerate(code.split("\n"), 1):
        found += [(t, number) for t in TOKEN.findall(line)]
    return found


def closing(toks, at):
    """The index of the bracket that closes the one at toks[at]."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    depth = 0
    for i in range(at, len(toks)):
        if toks[i][0] == toks[at][0]:
            depth += 1
        elif toks[i][0] == pairs[toks[at][0]]:
            depth -= 1
            if depth == 0:
                return i
    return len(toks) - 1


def braces(toks):
    """(line, what) of each body that is not in braces."""
    found = []
    for i, (tok, line) in enumerate(toks):
        nxt = toks[i + 1][0] if i + 1 < len(toks) else ""
        if tok in ("if", "for", "while") and nxt in ("(", "constexpr"):
            start = i + 1 if nxt == "(" else i + 2
            end = closing(toks, start)
            after = toks[end + 1][0] if end + 1 < len(toks) else ""
            do_while = tok == "while" and i > 0 and toks[i - 1][0] == "}" and after == ";"
            if after != "{" and not do_while:
                found.append((line, f"the body of this {tok} is not in braces"))
        elif tok == "else" and nxt not in ("{", "if"):
            found.append((line, "the body of this else is not in braces"))
        elif tok == "do" and nxt != "{":
            found.append((line, "the body of this do is not in braces"))
    return found


def commas(toks):
    """(line, what) of each comma that separates statements, declarations or
    the parts of a control statement's parentheses."""
    found = []
    stack = [["scope", 0]]  # [kind, index where the current statement began]
    for i, (tok, line) in enumerate(toks):
        prev = toks[i - 1][0] if i else ""
        if tok in ("(", "[", "{"):
            if tok == "(":
                kind = "control" if prev in CONTROL else "parens"
            elif tok == "[":
                kind = "parens"
            elif prev in BLOCK_AFTER or (prev in (";", "{", "}", ":") and stack[-1][0] == "block"):
                kind = "block"
            else:
                kind = "list"  # an initialiser, a class, an enumeration
            stack.append([kind, i + 1])
        elif tok in (")", "]", "}"):
            if len(stack) > 1:
                stack.pop()
            stack[-1][1] = i + 1
        elif tok == ";":
            stack[-1][1] = i + 1
        elif tok == "," and stack[-1][0] in ("block", "control"):
            # Inside a template's angle brackets, as in std::map<A, B>.
            depth = 0
            angles = 0
            for t, _ in toks[stack[-1][1]:i]:
                if t in ("(", "[", "{"):
                    depth += 1
                elif t in (")", "]", "}"):
                    depth -= 1
                elif depth == 0:
                    angles += {"<": 1, ">": -1, ">>": -2}.get(t, 0)
            if angles <= 0:
                where = "a statement" if stack[-1][0] == "block" else "a control statement's parentheses"
                found.append((line, f"a comma in {where}: one declaration or expression each"))
    return found


def flags(path, toks):
    """(line, what) of each flag of the wrong kind for the file's layer."""
    found = []
    if path.startswith(APPLICATION):
        found += [(line, f"{tok} in the application: BOOLEAN, TRUE, FALSE")
                  for tok, line in toks if tok in ("bool", "true", "false")]
    elif path.startswith(LINUX):
        statement = 0
        for i, (tok, line) in enumerate(toks):
            if tok in (";", "{", "}"):
                statement = i + 1
            elif tok == "BOOLEAN" and "EFIAPI" not in (t for t, _ in toks[statement:i]):
                found.append((line, "BOOLEAN in linux/ outside a firmware service's parameters: bool"))
    return found


def layout(repo, paths):
    """(path, line, what) where clang-format would lay the code out otherwise."""
    r = subprocess.run(["clang-format", "--dry-run", f"--style=file:{os.path.join(repo, '.clang-format')}"]
                       + [os.path.join(repo, p) for p in paths], capture_output=True, text=True)
    found = []
    for message in re.finditer(r"^(.+?):(\d+):\d+: (?:warning|error): (.*)$", r.stderr, re.M):
        found.append((os.path.relpath(message.group(1), repo), int(message.group(2)),
                      f"laid out otherwise by clang-format ({message.group(3).split(' [')[0]})"))
    if r.returncode != 0 and not found:
        found.append(("clang-format", 0, r.stderr.strip()))
    return found


# (file, code, how many departures): the checks themselves, before the tree.
CASES = [
    ("app/a.cpp", "void F() { if (A) B(); }", 1),
    ("app/a.cpp", "void F() { if (A) { B(); } else C(); }", 1),
    ("app/a.cpp", "void F() { for (;;) { if (A) { B(); } else if (C) { D(); } } }", 0),
    ("app/a.cpp", "void F() { do { A(); } while (B); while (C) D(); }", 1),
    ("linux/a.cpp", "void F() { if (A) B(); }", 0),
    ("app/a.cpp", "void F() { A = 1, B = 2; }", 1),
    ("tests/a.cpp", "void F() { int A, B; for (I = 0, J = 0; I < 2; I++) {} }", 2),
    ("tests/a.cpp", "void F() { std::map<int, int> M{{1, 2}}; G(A, B); auto [X, Y] = P; }", 0),
    ("tests/a.cpp", "struct S { int A, B; }; enum E { X, Y };", 0),
    ("app/a.cpp", 'static bool F() { return G(u"true, false") == 1; }', 1),
    ("linux/a.cpp", "static EFI_STATUS EFIAPI F(BOOLEAN A) { BOOLEAN B = A; return 0; }", 1),
    ("tests/a.cpp", "BOOLEAN A = TRUE; bool B = true;", 0),
]


def departures(path, source):
    toks = tokens(source)
    return (braces(toks) if path.startswith(BRACED) else []) + commas(toks) + flags(path, toks)


def main():
    for path, source, count in CASES:
        assert len(departures(path, source)) == count, (path, source, departures(path, source))
    repo = sys.argv[1]
    if not shutil.which("clang-format"):
        sys.exit("code_style: clang-format not found (tools/setup.sh installs it)")
    paths = sys.argv[2:] or [p for p in subprocess.check_output(["git", "-C", repo, "ls-files"], text=True).split()
                             if p.endswith((".cpp", ".h"))]
    found = layout(repo, paths)
    for path in paths:
        with open(os.path.join(repo, path), encoding="utf-8") as f:
            found += [(path, line, what) for line, what in departures(path, f.read())]
    for path, line, what in sorted(found):
        print(f"{path}:{line}: {what}")
    sys.exit(1 if found else 0)


main()
