// SPDX-License-Identifier: BSD-2-Clause-Patent
// Bytes from a terminal into the keys that EDK2's terminal driver would hand
// the dialogue: erase keys that the line editor knows, Enter however the
// line ends, scan codes for escape sequences, and Ctrl-C that ends the run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
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
  // clang-format off
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
      // Malformed UTF-8: U+FFFD, and decoding goes on at the byte that broke it.
      {"a missing continuation keeps the Enter", "\xc3\x0d", false, {0xFFFD, u'\r'}, "", false},
      {"Latin-1 is no UTF-8", "\xe9\x61\x62", false, {0xFFFD, u'a', u'b'}, "", false},
      {"no surrogates", "\xed\xa0\x80", false, {0xFFFD, 0xFFFD, 0xFFFD}, "", false},
      {"no overlong forms", "\xc0\xaf\xe0\x80\xaf", false, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}, "",
       false},
      {"nothing beyond U+10FFFF", "\xf4\x90\x80\x80", false, {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}, "", false},
      {"a stray continuation byte", "\x9b", false, {0xFFFD}, "", false},
      {"a character cut short waits", "a\xe2\x82", true, {u'a'}, "\xe2\x82", false},
      {"a character cut short by the end", "a\xe2\x82", false, {u'a', 0xFFFD}, "", false},
      {"C1 controls are no typed text", "\xc2\x9bx\xc2\x80", false, {u'x'}, "", false},
      {"an escape sequence too long for a key is dropped", "\x1b[" + std::string(40, '1') + "~z", true,
       {u'z'}, "", false},
      {"a control byte breaks a sequence and counts", "\x1b[1\x08z", false, {0x08, u'z'}, "", false},
  };
  // clang-format on
  for (const DecodeCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::string Bytes = Case.Bytes;
    DecodedKeys Decoded = DecodeKeys(&Bytes, Case.MoreMayCome);
    EXPECT_EQ(Decoded.Keys, Case.Keys);
    EXPECT_EQ(Bytes, Case.Left);
    EXPECT_EQ((bool)Decoded.Interrupted, Case.Interrupted);
  }
}

// Typed-ahead input costs work in proportion to its size, however it is cut
// into reads: the decoder looks at each byte a few times at most.
TEST(LinuxTerminal, BigTypedAheadInputIsDecodedInLinearWork) {
  const std::string Unit = "ab\xc3\xa9\xe2\x82\xac\x1b[A\x1b[3~\r\n";  // 8 keys in 16 bytes
  std::string Input;
  while (Input.size() < (1u << 20)) Input += Unit;
  for (size_t Cut : {Input.size(), (size_t)256, (size_t)7}) {
    SCOPED_TRACE(Cut);
    std::string Pending;
    UINTN Keys = 0;
    UINTN Examined = 0;
    for (size_t At = 0; At < Input.size(); At += Cut) {
      Pending += Input.substr(At, Cut);
      DecodedKeys Decoded = DecodeKeys(&Pending, At + Cut < Input.size());
      Keys += Decoded.Keys.size();
      Examined += Decoded.Examined;
    }
    EXPECT_EQ(Keys, Input.size() / Unit.size() * 8);
    EXPECT_TRUE(Pending.empty());
    EXPECT_LE(Examined, 3 * Input.size());
  }
}

// Input that never ends (yes | addbootentry) is read as the dialogue asks
// for keys: only a few KiB ahead, the rest left in the kernel.
TEST(LinuxTerminal, ReadsOnlyAFewKeysAhead) {
  int Pipe[2];
  ASSERT_EQ(pipe(Pipe), 0);
  ASSERT_EQ(fcntl(Pipe[1], F_SETFL, O_NONBLOCK), 0);
  const std::string Lines(4096, 'y');
  size_t Written = 0;
  for (ssize_t Wrote; (Wrote = write(Pipe[1], Lines.data(), Lines.size())) > 0;)
    Written += (size_t)Wrote;
  ASSERT_GE(Written, 16384u);
  int Screen = open("/dev/null", O_WRONLY);
  EFI_BOOT_SERVICES Boot = {};
  EFI_SYSTEM_TABLE Table = {};
  Table.BootServices = &Boot;
  InstallTerminal(&Table, Pipe[0], Screen);
  EFI_INPUT_KEY Key = {};
  ASSERT_EQ(Table.ConIn->ReadKeyStroke(Table.ConIn, &Key), EFI_SUCCESS);
  EXPECT_EQ(Key.UnicodeChar, u'y');
  int Left = 0;
  ASSERT_EQ(ioctl(Pipe[0], FIONREAD, &Left), 0);
  EXPECT_GE((size_t)Left + 8192, Written);
  close(Pipe[0]);
  close(Pipe[1]);
  close(Screen);
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
    struct termios Before = {};
    struct termios After = {};
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
