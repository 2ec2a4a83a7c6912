# SPDX-License-Identifier: BSD-2-Clause-Patent
"""Every process a test starts ends with the test. CTest kills a test at its
time limit, with SIGKILL if need be, and a killed Python runs no clean-up: a
QEMU left behind would spin on a core for good. Handed as preexec_fn to
pexpect.spawn and subprocess, end_with_test makes the kernel send the child
SIGKILL the moment the test process dies."""
import ctypes
import os
import signal

PR_SET_PDEATHSIG = 1
_libc = ctypes.CDLL(None, use_errno=True)
_test = os.getpid()


def end_with_test():
    """Runs in the child between fork and exec."""
    if _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0) != 0:
        os._exit(127)
    # The test died before the prctl: nothing would ever send the signal.
    if os.getppid() != _test:
        os._exit(127)
