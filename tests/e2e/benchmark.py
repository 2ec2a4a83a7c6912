#!/usr/bin/python3
# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The product's figures: image size beside a minimal EFI application built
with the same flags; under QEMU, seconds from launch to the banner and from
the banner to the success line of a scripted typical run, per firmware; and
the host suites' time. A measurement, not a test: it prints and exits 0.

Usage (after ./run-tests or a build): tests/e2e/benchmark.py [--build-dir build]
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.join(HERE, "..", "..")
sys.path.insert(0, HERE)
import expected  # noqa: E402
import harness  # noqa: E402
from dialogue import BANNER, CREATED, create_entry  # noqa: E402


def typical_run(arch, firmware, efi_dir):
    """(launch to banner, banner to success line) in seconds, fresh disk and store."""
    with tempfile.TemporaryDirectory() as work:
        m = harness.Machine(arch, firmware, efi_dir, work)
        try:
            launched = time.monotonic()
            m.boot()
            m.expect(BANNER, timeout=harness.BOOT_TIMEOUT)
            banner = time.monotonic()
            esp = expected.hd_text(expected.partition(m.geometry, 1))
            create_entry(m, esp, "Typical", r"\EFI\test\loader.efi")
            # create_entry has waited past the closing prompt; the success
            # line came just before it, so take the time of that match.
            done = time.monotonic()
            assert CREATED.encode() in m.console
            m.send("s")
            m.expect_exit(0)
            return banner - launched, done - banner
        finally:
            m.stop()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build-dir", default=os.path.join(REPO, "build"))
    ap.add_argument("--runs", type=int, default=3)
    args = ap.parse_args()
    built = [arch for arch in harness.run_qemu.ARCHITECTURES
             if os.path.exists(os.path.join(args.build_dir, "efi", arch, harness.mkdisk.app_name(arch)))]
    for arch in built:
        efi_dir = os.path.join(args.build_dir, "efi", arch)
        app = os.path.getsize(os.path.join(efi_dir, harness.mkdisk.app_name(arch)))
        minimal = os.path.getsize(os.path.join(efi_dir, "minimal.efi"))
        print(f"image size: {harness.mkdisk.app_name(arch)} {app} bytes, minimal.efi {minimal} bytes")

    for arch, firmware in harness.run_qemu.TARGETS:
        if arch not in built or harness.run_qemu.missing_firmware(harness.run_qemu.TARGETS[arch, firmware]):
            continue
        runs = [typical_run(arch, firmware, os.path.join(args.build_dir, "efi", arch)) for _ in range(args.runs)]
        boot = sorted(r[0] for r in runs)[len(runs) // 2]
        dialogue = sorted(r[1] for r in runs)[len(runs) // 2]
        print(f"{arch} {firmware}: launch to banner {boot:.1f} s, banner to success line {dialogue:.2f} s"
              " (typed by a script, read at the closing prompt that follows it)"
              f" (median of {len(runs)})")

    start = time.monotonic()
    subprocess.run(["ctest", "-L", "host", "-j", str(os.cpu_count())], cwd=args.build_dir,
                   check=True, stdout=subprocess.DEVNULL)
    print(f"host suites (plain and sanitized): {time.monotonic() - start:.1f} s")


if __name__ == "__main__":
    main()
