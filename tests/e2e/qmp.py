# SPDX-License-Identifier: BSD-2-Clause-Patent
"""QEMU's machine protocol (QMP) over a Unix socket: keys typed on the USB
keyboard and screenshots of the display."""
import json
import socket
import time

# QEMU key names (qcodes) of the characters the tests type; capitals and
# shifted signs are typed with shift on a US keyboard.
_KEYS = {" ": "spc", "\r": "ret", "\b": "backspace", "\\": "backslash", ".": "dot", "-": "minus",
         "/": "slash", ",": "comma", ";": "semicolon", "=": "equal"}
_SHIFTED = {"_": "minus", ":": "semicolon", '"': "apostrophe", "(": "9", ")": "0"}


def keys_of(char):
    """The qcodes pressed together for one character."""
    if char in _KEYS:
        return [_KEYS[char]]
    if char in _SHIFTED:
        return ["shift", _SHIFTED[char]]
    if char.isupper():
        return ["shift", char.lower()]
    if char.isalnum():
        return [char]
    raise ValueError(f"no key for {char!r}")


class Qmp:
    def __init__(self, path, timeout=30):
        deadline = time.monotonic() + timeout
        while True:  # QEMU makes the socket shortly after it starts
            try:
                self.sock = socket.socket(socket.AF_UNIX)
                self.sock.connect(path)
                break
            except (FileNotFoundError, ConnectionRefusedError):
                self.sock.close()
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.1)
        self.sock.settimeout(timeout)
        self.file = self.sock.makefile("rwb")
        assert "QMP" in json.loads(self.file.readline()), "no QMP greeting"
        self.execute("qmp_capabilities")

    def execute(self, command, **arguments):
        self.file.write(json.dumps({"execute": command, "arguments": arguments}).encode() + b"\n")
        self.file.flush()
        while True:
            reply = json.loads(self.file.readline())
            if "event" in reply:
                continue
            assert "return" in reply, f"{command}: {reply}"
            return reply["return"]

    def press(self, qcodes):
        self.execute("send-key", keys=[{"type": "qcode", "data": q} for q in qcodes])

    def screendump(self, path):
        self.execute("screendump", filename=path, format="png")

    def close(self):
        self.file.close()
        self.sock.close()
