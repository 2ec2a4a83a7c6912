# SPDX-License-Identifier: BSD-2-Clause-Patent
"""The serial console as a person's terminal shows it: the firmware's byte
stream rendered by a terminal emulator (pyte) of a chosen size.

U-Boot asks the terminal for its size at start (it moves the cursor to the
bottom right corner and asks where it is); the emulator's answer goes back to
the firmware, so U-Boot lays out its console on this terminal's size. EDK2's
serial console is 80 x 25 whatever the terminal.
"""
import pyte


class Terminal:
    """A pexpect logfile that keeps a screen of columns x rows."""

    def __init__(self, columns, rows):
        self.screen = pyte.Screen(columns, rows)
        self.stream = pyte.ByteStream(self.screen)

    def answer_with(self, send):
        """Where the terminal's replies (cursor position reports) go."""
        self.screen.write_process_input = lambda text: send(text.encode("ascii"))

    def write(self, data):
        self.stream.feed(data)

    def flush(self):
        pass

    def lines(self):
        return [line.rstrip() for line in self.screen.display]

    def cursor(self):
        """(column, row), 0-based."""
        return self.screen.cursor.x, self.screen.cursor.y

    def show(self):
        """The screen framed, for failure messages."""
        width = self.screen.columns
        return "\n".join(["+" + "-" * width + "+"] + [f"|{line:<{width}}|" for line in self.lines()]
                         + ["+" + "-" * width + "+"])
