# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Shared machinery of the end-to-end tests: the demo disk and a variable store
in a private folder, QEMU spawned under pexpect with the launcher's own command
line, and expect/send over the firmware's serial console.

A test script lists scenarios (functions taking a Machine) and hands them to
run(); each scenario gets a fresh disk and a fresh variable store.
"""
import argparse
import os
import re
import signal
import sys
import tempfile
import time
import traceback

import pexpect

import lifetime
from qmp import Qmp

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "..", "tools", "qemu")
sys.path.insert(0, TOOLS)
import mkdisk  # noqa: E402
import run_qemu  # noqa: E402
import varstore  # noqa: E402

# Launch to first output of a program is about 7 s on EDK2 and 3 s on U-Boot
# with the machine idle; emulation slows down a lot when the host is busy.
BOOT_TIMEOUT = 120
STEP_TIMEOUT = 30
# The Arm EDK2s (AAVMF, 32-bit Arm) store Timeout = 5 on their first boot and
# then wait 5 s for a key before their boot manager starts anything; OVMF's
# default is 0. "-boot menu=on,splash-time=0" hands them 0 through fw_cfg,
# which they store as Timeout, so the store differs only in that value.
# Boots on a display keep the wait: its progress bar is part of what the
# graphical tests expect the application to clear.
NO_BOOT_WAIT = ["-boot", "menu=on,splash-time=0"]
# Every U-Boot here counts down 2 s (bootdelay) before it runs bootcmd, and
# takes the environment with that delay from its own image or from a flash
# or file the tests do not make. A key stops the count at once; "boot" at its
# prompt then runs bootcmd, as the end of the count would.
UBOOT_COUNTDOWN = "Hit any key to stop autoboot"
# Its prompt: "=> " on the QEMU boards, "U-Boot> " on the Raspberry Pi.
UBOOT_PROMPT = "=> "
UBOOT_PROMPTS = rb"(=>|U-Boot>) "
# A board that halts instead of powering off has ended its run once it has
# been silent this long after the last line a test expects.
SILENCE = 2

# What each firmware family prints when an application has returned to it
# with Exit. U-Boot's boot script echoes this line after every bootefi that
# returns, whatever the status.
FIRMWARE_RESUMES = {"edk2": rb"BdsDxe: (loading|starting) Boot[0-9A-F]{4}",
                    "uboot": rb"EFI LOAD FAILED: continuing\.\.\."}

# What each firmware family prints when its boot manager starts a Boot#### entry.
ENTRY_STARTS = {"edk2": 'BdsDxe: starting Boot{number:04X} "{description}"',
                "uboot": "Booting: {description}"}

# EFI colour numbers (black, blue, green, cyan, red, magenta, brown, grey) in
# ANSI order; the mapping is its own inverse.
_EFI_ANSI = [0, 4, 2, 6, 1, 5, 3, 7]


def _after_sgr(state, params):
    """(bold, ANSI foreground, ANSI background) after one SGR sequence."""
    bold, fg, bg = state
    for p in [int(x or 0) for x in params.split(b";")]:
        if p == 0:
            bold, fg, bg = 0, 7, 0
        elif p == 1:
            bold = 1
        elif 30 <= p <= 37:
            fg = p - 30
        elif 40 <= p <= 47:
            bg = p - 40
    return bold, fg, bg


def _efi_attribute(state):
    bold, fg, bg = state
    return _EFI_ANSI[fg] | bold << 3 | _EFI_ANSI[bg] << 4


_SGR = re.compile(rb"\x1b\[([0-9;]*)m")
_DEFAULT_COLOURS = (0, 7, 0)


def colour_at(console, index):
    """The EFI attribute in force at console[index], replayed from every SGR
    sequence before it. EDK2 sends three sequences per SetAttribute, U-Boot
    one combined sequence; EDK2 sends nothing when the colour does not change."""
    state = _DEFAULT_COLOURS
    for params in _SGR.findall(console[:index]):
        state = _after_sgr(state, params)
    return _efi_attribute(state)


def coloured_text(console, start=0):
    """What the console shows from console[start] on, as [(EFI attribute, text)]:
    runs of one colour joined, empty ones dropped, every line end (the pty and
    U-Boot each add a CR) as one "\\n", control sequences other than colours
    dropped."""
    runs, state, at = [], _DEFAULT_COLOURS, 0
    for number, piece in enumerate(_SGR.split(console)):
        if number % 2:
            state = _after_sgr(state, piece)
            at += len(b"\x1b[m") + len(piece)
            continue
        shown, at = piece[max(0, start - at):], at + len(piece)
        runs.append((_efi_attribute(state), re.sub(r"\r+\n", "\n", plain(shown))))
    return joined(runs)


def joined(runs):
    """[(attribute, text)] with empty runs dropped and neighbours of one colour joined."""
    result = []
    for attribute, text in runs:
        if result and result[-1][0] == attribute:
            result[-1] = (attribute, result[-1][1] + text)
        elif text:
            result.append((attribute, text))
    return result


class Machine:
    """One QEMU machine: its disk, its variable store, and at most one running boot.
    firmware is what the launcher calls it (rpi, for one); family is edk2 or
    uboot, which decides what it prints and where it keeps its variables."""

    def __init__(self, arch, firmware, efi_dir, work_dir):
        self.arch, self.firmware, self.efi_dir, self.work_dir = arch, firmware, efi_dir, work_dir
        self.target = run_qemu.target(arch, firmware)
        self.family = self.target.family
        self.app, self.removable_boot = mkdisk.app_name(arch), mkdisk.removable_boot(arch)
        self.disk, self.vars = run_qemu.prepare(work_dir, efi_dir, arch, self.target, fresh=True)
        self.geometry = mkdisk.geometry(self.disk)
        self.log = open(os.path.join(work_dir, "console.log"), "wb")
        self.qemu = None
        self.qmp = None

    def boot(self, terminal=None, graphics=False, stick=None, cd=None, extra=(), shell=False):
        """Start QEMU. A terminal.Terminal renders the console as it is read
        and answers the firmware's questions to the terminal; graphics adds
        the display and the USB keyboard, driven through self.qmp; stick and
        cd are images of a USB stick and a CD beside the disk; extra, more
        QEMU options (a kernel to start, for one). U-Boot is stopped at its
        prompt, and with shell left there for the test's commands."""
        cmd = run_qemu.command(self.target, self.disk, self.vars)
        cmd += run_qemu.removable(self.target, stick, cd) + list(extra)
        if self.family == "edk2" and not graphics:
            cmd += NO_BOOT_WAIT
        if graphics:
            # A socket path must be short; the work folder's may not be.
            qmp_socket = os.path.join(tempfile.mkdtemp(prefix="qmp-"), "socket")
            cmd += run_qemu.GRAPHICS + ["-qmp", f"unix:{qmp_socket},server=on,wait=off"]
        self.log.write(f"\n==== {' '.join(cmd)}\n".encode())
        self.qemu = pexpect.spawn(cmd[0], cmd[1:], timeout=STEP_TIMEOUT, preexec_fn=lifetime.end_with_test)
        # pexpect waits 50 ms before every send, for programs that turn echo
        # off after their prompt; QEMU's serial line loses nothing, and a
        # suite's worth of those waits leaves a processor idle for minutes.
        self.qemu.delaybeforesend = None
        self.qemu.logfile_read = self.log if terminal is None else _Tee(self.log, terminal)
        if terminal is not None:
            terminal.answer_with(self.qemu.send)
        self.terminal = terminal
        if graphics:
            self.qmp = Qmp(qmp_socket)
            os.unlink(qmp_socket)
            os.rmdir(os.path.dirname(qmp_socket))
        self.console = b""  # everything this boot has shown up to the last match
        if self.family == "uboot":
            self.expect(UBOOT_COUNTDOWN, timeout=BOOT_TIMEOUT)
            self.send(" ")
            self.expect_re(UBOOT_PROMPTS)
            if not shell:
                self.send("boot\r")

    def expect(self, text, attribute=None, timeout=STEP_TIMEOUT):
        """Wait for text; with an attribute, the text must be shown in that colour."""
        return self.expect_re(re.escape(text.encode("utf-8")), attribute, timeout)

    def expect_re(self, pattern, attribute=None, timeout=STEP_TIMEOUT):
        """Wait for a regular expression; the colour, if given, is checked where
        its first group starts (or the match, without groups)."""
        try:
            self.qemu.expect(pattern, timeout=timeout)
        except (pexpect.TIMEOUT, pexpect.EOF) as e:
            raise AssertionError(f"{type(e).__name__} waiting for {pattern!r}; console ended with:\n"
                                 f"{_printable(self.qemu.before)}") from None
        if pattern is pexpect.EOF:
            return None
        match = self.qemu.match
        start = len(self.console) + len(self.qemu.before)
        self.console += self.qemu.before + self.qemu.after
        if attribute is not None:
            shown = colour_at(self.console, start + match.start(1 if match.re.groups else 0) - match.start())
            assert shown == attribute, (f"{match.group(0)!r} shown in colour {shown:#04x}, "
                                        f"not {attribute:#04x}")
        return match

    def expect_screen(self, what, holds, timeout=STEP_TIMEOUT):
        """Read the console until holds(terminal) is true."""
        deadline = time.monotonic() + timeout
        while not holds(self.terminal):
            if time.monotonic() > deadline:
                raise AssertionError(f"the terminal never showed {what}:\n{self.terminal.show()}")
            self.qemu.expect([pexpect.TIMEOUT, pexpect.EOF], timeout=0.2)

    def send(self, keys):
        self.qemu.send(keys.encode("latin-1"))

    def quiet(self, seconds, timeout=STEP_TIMEOUT):
        """Read the console until it has said nothing for seconds: a
        program that is still drawing, however slowly, is waited for."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.qemu.expect([pexpect.TIMEOUT, pexpect.EOF, rb"[\s\S]+"], timeout=seconds)
            self.console += self.qemu.before + (self.qemu.after if found == 2 else b"")
            if found != 2:
                return
        raise AssertionError(f"the console never fell quiet; it ended with:\n{_printable(self.console[-400:])}")

    def expect_exit(self, status=0, timeout=STEP_TIMEOUT):
        """The end of a run that powers off (or resets: QEMU runs with -no-reboot).
        A board that halts instead stays silent, so silence ends its run
        there, and QEMU is stopped."""
        if self.target.halts and self.silent_until_reset(timeout):
            self.stop()
            return
        self.expect_re(pexpect.EOF, timeout=timeout)
        self.qemu.close()
        assert self.qemu.exitstatus == status, f"QEMU exit status {self.qemu.exitstatus}, not {status}"
        self.qemu = None

    def silent_until_reset(self, timeout):
        """True once the console has said nothing for SILENCE seconds; False
        when QEMU exits first (a reset). A board that shows text after the end
        of its run and then falls silent has not halted where it should."""
        deadline, said = time.monotonic() + timeout, b""
        while time.monotonic() < deadline:
            found = self.qemu.expect([pexpect.TIMEOUT, pexpect.EOF, rb"[\s\S]+"], timeout=SILENCE)
            if found == 1:
                return False
            if found == 0:
                assert not plain(said).strip(), f"the board went on after the end of the run:\n{_printable(said)}"
                return True
            said += self.qemu.after
        raise AssertionError(f"the board never went silent; console ended with:\n{_printable(said)}")

    def stop(self):
        if self.qmp is not None:
            self.qmp.close()
            self.qmp = None
        if self.qemu is not None:
            try:
                self.qemu.close(force=True)
            except pexpect.ExceptionPexpect:
                # Its grace for a closing child is a fraction of a second; on a
                # busy machine QEMU may take longer to end even after SIGKILL.
                self.qemu.kill(signal.SIGKILL)
                deadline = time.monotonic() + STEP_TIMEOUT
                while self.qemu.isalive() and time.monotonic() < deadline:
                    time.sleep(0.1)
                assert not self.qemu.isalive(), "QEMU did not end after SIGKILL"
            self.qemu = None

    def new_disk(self, table):
        """Replace the disk by a fresh demo disk with this partition table
        (mkdisk.TABLES); only while QEMU is not running."""
        assert self.qemu is None, "the disk is in use"
        mkdisk.build(self.disk, self.efi_dir, self.arch, table)
        self.geometry = mkdisk.geometry(self.disk)

    def put_esp_files(self, files):
        """{path on the ESP: bytes or host file}; only while QEMU is not running."""
        assert self.qemu is None, "the disk is in use"
        mkdisk.put_files(self.disk, mkdisk.ESP, files)

    def program(self, name):
        return os.path.join(self.efi_dir, name)

    def variables(self):
        """The firmware's non-volatile variables as stored now (QEMU stopped)."""
        assert self.qemu is None, "the store is written back only when QEMU ends"
        return varstore.read_store(self.vars if self.family == "edk2" else self.disk)


class _Tee:
    """A pexpect logfile that writes to several."""

    def __init__(self, *files):
        self.files = files

    def write(self, data):
        for f in self.files:
            f.write(data)

    def flush(self):
        for f in self.files:
            f.flush()


def plain(data):
    """Console bytes as text without control sequences (colours, cursor moves,
    the cursor shown or hidden)."""
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", data.decode("utf-8", "replace"))


def _printable(data):
    text = data.decode("utf-8", "replace") if isinstance(data, bytes) else str(data)
    return text[-1500:].replace("\x1b", "^[")


def run(scenarios):
    """Command line of every e2e script: run the scenarios, report, exit 1 on failure."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--efi-dir", required=True)
    ap.add_argument("--work-dir", required=True)
    ap.add_argument("--arch", choices=run_qemu.ARCHITECTURES, default="aa64")
    ap.add_argument("--firmware", choices=run_qemu.FIRMWARES, default="edk2")
    ap.add_argument("only", nargs="*", help="run only these scenarios")
    args = ap.parse_args()
    failed = 0
    for scenario in scenarios:
        if args.only and scenario.__name__ not in args.only:
            continue
        start = time.monotonic()
        machine = Machine(args.arch, args.firmware, args.efi_dir,
                          os.path.join(args.work_dir, scenario.__name__))
        try:
            scenario(machine)
            verdict = "ok"
        except Exception:  # report every scenario, then fail the script
            failed += 1
            verdict = "FAILED\n" + traceback.format_exc()
        finally:
            machine.stop()
        print(f"{args.arch} {args.firmware} {scenario.__name__}: {verdict} ({time.monotonic() - start:.1f} s)",
              flush=True)
    sys.exit(1 if failed else 0)
