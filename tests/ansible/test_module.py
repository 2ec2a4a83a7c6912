#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The Ansible module on this machine, without a VM: run as Ansible runs it
(its arguments in a file, the result as JSON on standard output) against a
stand-in for the program that records the words it was given and answers
with a JSON object and an exit status from the table. Each row: what the
task asks, what the program answers, and what the task must report: the
words, changed or failed, the message, the fields handed on.
"""
import importlib.util
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
MODULE = os.path.join(HERE, "..", "..", "ansible", "ansible_collections", "addbootentry", "uefi", "plugins",
                      "modules", "boot_entry.py")
# Debian's Python, which has Debian's ansible-core.
PYTHON = "/usr/bin/python3"

LOADER = "\\EFI\\debian\\shimx64.efi"
PATHS = ["HD(1,GPT,0C2D5EF3-4A1B-4E07-9D55-2F0E5B9A61C4,0x800,0x1000)/\\EFI\\debian\\shimx64.efi"]


def report(result, **more):
    fields = {"result": result, "variable": "Boot0004", "number": 4, "label": "Debian", "device_paths": PATHS,
              "optional_data": "", "load_option": "01000000", "boot_order": ["0000", "0004"], "boot_next": None,
              "message": "Boot0004 \"Debian\" created and added to BootOrder"}
    fields.update(more)
    return json.dumps(fields)


REFUSAL = ("addbootentry: this firmware keeps its variables for itself (efivarfs is read-only, as under U-Boot); "
           "make the entry with the firmware application addbootentry<arch>.efi started from the firmware.")
# (name, task's arguments, check mode, program's (exit status, standard output) or None: never run,
#  expected: the program's words after its own name, changed or "failed", the message or None, fields)
ROWS = [
    ("created", {"label": "Debian", "volume": "/boot/efi"}, False, (0, report("created")),
     ["--json", "--yes", "--loader", LOADER, "--volume", "/boot/efi", "--label", "Debian"], True, None,
     {"variable": "Boot0004", "number": 4, "device_paths": PATHS, "boot_order": ["0000", "0004"]}),
    ("already there", {}, False, (0, report("unchanged", label="Old name")),
     ["--json", "--yes", "--loader", LOADER], False, None, {"label": "Old name", "result": "unchanged"}),
    ("check mode, would create", {}, True, (0, report("dry-run")),
     ["--json", "--yes", "--loader", LOADER, "--dry-run"], True, None, {"result": "dry-run"}),
    ("check mode, already there", {}, True, (0, report("unchanged")),
     ["--json", "--yes", "--loader", LOADER, "--dry-run"], False, None, {"result": "unchanged"}),
    ("a BVSRD, every option", {"boot_volume": "PARTUUID=1234abcd-03", "boot_fs": "wfs", "root": "\\Ixo",
                               "bvsrd_as": "path"}, False, (0, report("created")),
     ["--json", "--yes", "--loader", LOADER, "--boot-volume", "PARTUUID=1234abcd-03", "--boot-fs", "wfs",
      "--root", "\\Ixo", "--bvsrd-as", "path"], True, None, {}),
    # No BootNext on this machine: setting it is a change even for an entry already there.
    ("boot next on an entry already there", {"boot_next": True}, False,
     (0, report("unchanged", boot_next="0004")),
     ["--json", "--yes", "--loader", LOADER, "--boot-next"], True, None, {"boot_next": "0004"}),
    ("the firmware refuses", {}, False, (1, report("failed", message=REFUSAL, variable=None, number=None)),
     ["--json", "--yes", "--loader", LOADER], "failed", REFUSAL, {}),
    ("refused in check mode too", {}, True, (1, report("failed", message=REFUSAL)),
     ["--json", "--yes", "--loader", LOADER, "--dry-run"], "failed", REFUSAL, {}),
    ("bad options", {"volume": "PARTUUID=nothing"}, False,
     (2, report("failed", message="--volume PARTUUID=nothing: no such partition")),
     ["--json", "--yes", "--loader", LOADER, "--volume", "PARTUUID=nothing"], "failed",
     "--volume PARTUUID=nothing: no such partition", {}),
    ("exit status 1 with a result that says otherwise", {}, False, (1, report("created")),
     ["--json", "--yes", "--loader", LOADER], "failed", "Boot0004 \"Debian\" created and added to BootOrder", {}),
    ("no JSON: the last line of standard error", {}, False, (1, "not json"),
     ["--json", "--yes", "--loader", LOADER], "failed", "the dialogue's last line",
     {"stderr": "the dialogue's last line\n"}),
    ("a BVSRD option without a Boot Volume", {"bvsrd_as": "data"}, False, None, None, "failed",
     "missing parameter(s) required by 'bvsrd_as': boot_volume", {}),
    ("a Boot Volume without bvsrd_as", {"boot_volume": "/dev/sda3"}, False, None, None, "failed",
     "missing parameter(s) required by 'boot_volume': bvsrd_as", {}),
    ("no program", {"executable": "/nonexistent/addbootentry"}, False, None, None, "failed",
     "/nonexistent/addbootentry not found: install the addbootentry-efi package of the release on this host", {}),
]

FAKE = """#!/bin/sh
printf '%s\\n' "$@" > "{folder}/words"
cat "{folder}/stdout"
printf '\\033[1;36;40mthe dialogue\\047s last line\\033[0;37;40m\\n' >&2
exit {status}
"""


def run_row(folder, name, task, check_mode, answer, words, changed, message, fields):
    program = os.path.join(folder, "addbootentry")
    if answer is not None:
        with open(os.path.join(folder, "stdout"), "w") as f:
            f.write(answer[1])
        with open(program, "w") as f:
            f.write(FAKE.format(folder=folder, status=answer[0]))
        os.chmod(program, 0o755)
    arguments = {"loader": LOADER, "executable": program, "_ansible_check_mode": check_mode, **task}
    with open(os.path.join(folder, "args.json"), "w") as f:
        json.dump({"ANSIBLE_MODULE_ARGS": arguments}, f)
    ran = subprocess.run([PYTHON, MODULE, os.path.join(folder, "args.json")], capture_output=True, text=True)
    result = json.loads(ran.stdout)
    faults = []
    if os.path.exists(os.path.join(folder, "words")):
        with open(os.path.join(folder, "words")) as f:
            given = f.read().splitlines()
        if given != words:
            faults.append(f"the program was given {given}, not {words}")
    elif words is not None:
        faults.append("the program never ran")
    if changed == "failed":
        if not result.get("failed") or ran.returncode == 0:
            faults.append(f"the task did not fail: {result}")
        if result.get("msg") != message:
            faults.append(f"message {result.get('msg')!r}, not {message!r}")
    elif result.get("failed") or result.get("changed") is not changed:
        faults.append(f"changed {result.get('changed')}, failed {result.get('failed')}: {result}")
    faults += [f"{key} {result.get(key)!r}, not {value!r}" for key, value in fields.items() if result.get(key) != value]
    return faults


def load_module():
    spec = importlib.util.spec_from_file_location("boot_entry", MODULE)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


# BootNext as efivarfs has it: (bytes of the file or None, what the module reads).
BOOT_NEXT = [(b"\x07\x00\x00\x00\x04\x00", "0004"), (b"\x07\x00\x00\x00\x1a\x0b", "0B1A"),
             (b"\x07\x00\x00\x00\x04", None), (None, None)]
# (BootNext before, asked for, result): changed?
CHANGED = [("0004", True, "unchanged", False), ("0003", True, "unchanged", True), (None, True, "unchanged", True),
           ("0003", False, "unchanged", False), ("0004", True, "created", True)]


def check_boot_next(folder):
    module, faults = load_module(), []
    for data, expected in BOOT_NEXT:
        path = os.path.join(folder, "BootNext")
        if data is not None:
            with open(path, "wb") as f:
                f.write(data)
        elif os.path.exists(path):
            os.unlink(path)
        if module.boot_next_now(path) != expected:
            faults.append(f"BootNext {data!r} read as {module.boot_next_now(path)!r}, not {expected!r}")
    for before, asked, result, changed in CHANGED:
        failed, said, _ = module.outcome(0, report(result), before, asked)
        if failed or said is not changed:
            faults.append(f"BootNext {before} asked {asked} {result}: changed {said}, failed {failed}")
    return faults


def main():
    if os.path.realpath(sys.executable) != os.path.realpath(PYTHON):
        os.execv(PYTHON, [PYTHON] + sys.argv)  # the module's own functions are tested here too
    failures = 0
    for row in ROWS:
        with tempfile.TemporaryDirectory() as folder:
            faults = run_row(folder, *row)
        print(f"{row[0]}: {'ok' if not faults else 'FAILED: ' + '; '.join(faults)}", flush=True)
        failures += bool(faults)
    with tempfile.TemporaryDirectory() as folder:
        faults = check_boot_next(folder)
    print(f"BootNext read and compared: {'ok' if not faults else 'FAILED: ' + '; '.join(faults)}")
    failures += bool(faults)
    total = len(ROWS) + 1
    print(f"{total - failures} passed, {failures} failed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
