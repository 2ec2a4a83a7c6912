#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Every source file, script and build file that git tracks names its
licence in an SPDX line among its first three lines; prints those that do
not and exits 1."""
import os
import subprocess
import sys

TAG = "SPDX-License-Identifier: BSD-2-Clause-Patent"
SOURCE_ENDINGS = (".cpp", ".h", ".lds", ".py", ".sh", ".cmake")


def is_source(path):
    if path.endswith(SOURCE_ENDINGS) or os.path.basename(path) == "CMakeLists.txt":
        return True
    with open(path, "rb") as f:
        return f.read(2) == b"#!"


def main():
    repo = sys.argv[1]
    tracked = subprocess.check_output(["git", "-C", repo, "ls-files"], text=True).split()
    missing = []
    for name in tracked:
        path = os.path.join(repo, name)
        if name.startswith("tests/fuzz/corpus/") or not os.path.isfile(path) or not is_source(path):
            continue
        with open(path, errors="replace") as f:
            head = [f.readline() for _ in range(3)]
        if not any(TAG in line for line in head):
            missing.append(name)
    for name in missing:
        print(f"no SPDX line: {name}")
    sys.exit(1 if missing else 0)


main()
