// SPDX-License-Identifier: BSD-2-Clause-Patent
// Bytes from a terminal into the keys that EDK2's terminal driver would hand
// the dialogue: erase keys that the line editor knows, Enter however the
// line ends, scan codes for escape sequences, and Ctrl-C that ends the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "linux/ending.h"
#include "linux/terminal.h"
#include "linux/terminal_keys.h"

struct DecodeCase {
  const char *Name;
  std::string Bytes;
  bool MoreMayCome;
  std::basic_string<UINT32> Keys;  // ScanCode << 16 | UnicodeChar
  std::string Left;                // not yet decoded
  bool Interrupted;
};

TEST(LinuxTerminal, BytesBecomeTheFirmwaresKeys) {
  const DecodeCase Cases[] = {
      {"Enter, typed or piped", "a\r\n", false, {u'a', u'\r', u'\r'}, "", false},
      {"DEL and Ctrl-H as they come", "\x7f\x08", false, {0x7F, 0x08}, "", false},
      {"Delete and the arrows", "\x1b[3~\x1b[A\x1bOD", false, {8u << 16, 1u << 16, 4u << 16}, "", false},
      {"Esc alone", "\x1b", false, {0x17u << 16}, "", false},
      {"Esc before a key", "\x1bx", false, {0x17u << 16, u'x'}, "", false},
      {"a sequence cut short waits", "y\x1b[3", true, {u'y'}, "\x1b[3", false},
      {"UTF-8", "\xc3\xa9\xe2\x82\xac", false, {0xE9, 0x20AC}, "", false},
      {"beyond UCS-2", "\xf0\x9f\x98\x80", false, {u'?'}, "", false},
      {"unknown sequence dropped", "\x1b[99~z", false, {u'z'}, "", false},
      {"Ctrl-C ends, later keys unread", "ab\x03y", false, {u'a', u'b'}, "", true},
  };
  for (const DecodeCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::string Bytes = Case.Bytes;
    DecodedKeys Decoded = DecodeKeys(&Bytes, Case.MoreMayCome);
    EXPECT_EQ(Decoded.Keys, Case.Keys);
    EXPECT_EQ(Bytes, Case.Left);
    EXPECT_EQ((bool)Decoded.Interrupted, Case.Interrupted);
  }
}

// Every signal that ends the program, a fault of its own included, leaves
// the terminal as it found it, and the program dies of that signal, so the
// shell sees 128 plus its number.
TEST(LinuxTerminal, EndingSignalPutsTheTerminalBack) {
  for (int Signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(Signal));
    int Master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(Master, 0);
    ASSERT_EQ(grantpt(Master) | unlockpt(Master), 0);
    int Terminal = open(ptsname(Master), O_RDWR | O_NOCTTY);
    ASSERT_GE(Terminal, 0);
    struct termios Before = {}, After = {};
    ASSERT_EQ(tcgetattr(Terminal, &Before), 0);
    pid_t Child = fork();
    if (Child == 0) {
      struct rlimit NoCore = {0, 0};
      setrlimit(RLIMIT_CORE, &NoCore);
      EFI_BOOT_SERVICES Boot = {};
      EFI_SYSTEM_TABLE Table = {};
      Table.BootServices = &Boot;
      CatchEndingSignals();
      InstallTerminal(&Table, Terminal, Terminal);
      struct termios Raw = {};
      if (tcgetattr(Terminal, &Raw) != 0 || (Raw.c_lflag & ICANON) != 0) _exit(99);  // never raw
      raise(Signal);
      _exit(98);
    }
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFSIGNALED(Status)) << Status;
    EXPECT_EQ(WTERMSIG(Status), Signal);
    ASSERT_EQ(tcgetattr(Terminal, &After), 0);
    EXPECT_EQ(After.c_lflag, Before.c_lflag);
    EXPECT_EQ(After.c_iflag, Before.c_iflag);
    EXPECT_EQ(After.c_oflag, Before.c_oflag);
    close(Terminal);
    close(Master);
  }
}
