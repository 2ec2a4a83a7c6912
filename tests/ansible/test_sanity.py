#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""ansible-test sanity on a copy of the collection, with the tests that
Debian's ansible-core runs offline: those that need packages of their own
(pinned versions that ansible-test fetches from the network into a virtual
environment) are skipped, and no test of those may ever start, so the list
of skipped ones is checked against ansible-test's own requirements files.
The collection's licence must be the repository's."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.join(HERE, "..", "..")
COLLECTION = os.path.join(REPO, "ansible", "ansible_collections", "addbootentry", "uefi")
PYTHON = "/usr/bin/python3"
# Every test with requirements; pslint (PowerShell) and shellcheck have nothing to check here.
SKIPPED = {"ansible-doc", "changelog", "import", "integration-aliases", "mypy", "pep8", "pylint", "pslint",
           "runtime-metadata", "validate-modules", "yamllint", "shellcheck"}


def main():
    with open(os.path.join(REPO, "LICENSE"), "rb") as a, open(os.path.join(COLLECTION, "LICENSE"), "rb") as b:
        assert a.read() == b.read(), "the collection's LICENSE is not the repository's"
    # Debian's ansible-core, in Debian's Python, whichever Python runs this.
    package = subprocess.run([PYTHON, "-c", "import ansible_test, os; print(os.path.dirname(ansible_test.__file__))"],
                             capture_output=True, text=True, check=True).stdout.strip()
    requirements = os.path.join(package, "_data", "requirements")
    needing = {os.path.basename(p)[len("sanity."):].split(".")[0] for p in glob.glob(f"{requirements}/sanity.*")}
    assert needing <= SKIPPED, f"tests with requirements that would run: {sorted(needing - SKIPPED)}"
    with tempfile.TemporaryDirectory() as work:
        copy = os.path.join(work, "ansible_collections", "addbootentry", "uefi")
        shutil.copytree(COLLECTION, copy, ignore=shutil.ignore_patterns("output", "__pycache__"))
        env = dict(os.environ, HOME=work)
        offered = subprocess.run(["ansible-test", "sanity", "--list-tests"], cwd=copy, capture_output=True,
                                 text=True, env=env, check=True).stdout.split()
        skip = [word for test in sorted(SKIPPED & set(offered)) for word in ("--skip-test", test)]
        r = subprocess.run(["ansible-test", "sanity", "--python", "3.11", "--color", "no"] + skip, cwd=copy,
                           capture_output=True, text=True, env=env)
        print(r.stdout + r.stderr)
        ran = r.stdout.count("Running sanity test")
        print(f"{ran} passed, 0 failed" if r.returncode == 0 else f"ansible-test sanity failed ({ran} ran)")
        sys.exit(r.returncode)


if __name__ == "__main__":
    main()
