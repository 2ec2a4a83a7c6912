"""The application's side of the console conversation as the tests meet it:
its texts and colours, and the keys that lead a run through the dialogue.
New dialogue steps are added here, so that every scenario keeps reaching the
point it tests by the same road."""
from harness import BOOT_TIMEOUT

ATTR_BANNER = 0x30     # black on cyan
ATTR_NORMAL = 0x03     # cyan on black
ATTR_HIGHLIGHT = 0x0B  # light cyan
ATTR_ERROR = 0x0C      # light red
ATTR_LIST_ERROR = 0x04  # red

BANNER = "Let's create our Load Option!"
CLOSING_PROMPT = "Press <s> to shutdown or anything else (exc. <Enter>) to exit this app."


def start(m):
    """Boot and wait for the banner, which must be in its own colours."""
    m.boot()
    m.expect(BANNER, ATTR_BANNER, timeout=BOOT_TIMEOUT)


def to_closing_prompt(m):
    """From the banner to the closing prompt by the shortest road. No dialogue
    step exists yet, so the prompt follows the banner directly."""
    m.expect(CLOSING_PROMPT, ATTR_NORMAL)
