// SPDX-License-Identifier: BSD-2-Clause-Patent
// The whole dialogue on the Linux firmware, in a child process as the
// program runs it: keys through a pipe, answered when their question shows,
// and the variable files it leaves compared with the record laid out here.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <regex>

#include "fake_linux.h"
#include "linux/ending.h"
#include "linux/linux_firmware.h"
#include "linux/terminal.h"

static const std::vector<FakePartition> Parts = {{34, 2081, true, true}, {2082, 4095, false, false}};

// Reads the child's output until Shown appears; FALSE when it ends first.
static bool WaitFor(int From, std::string *Seen, const std::string &Shown) {
  while (Seen->find(Shown) == std::string::npos) {
    struct pollfd Poll = {From, POLLIN, 0};
    char Chunk[512];
    ssize_t Got = poll(&Poll, 1, 10000) > 0 ? read(From, Chunk, sizeof Chunk) : 0;
    if (Got <= 0) return false;
    Seen->append(Chunk, (size_t)Got);
  }
  return true;
}

// The child's status once it has ended; a child still running after
// Seconds is killed first, so that a dialogue that never ends fails the
// test instead of outliving it.
static int EndChild(pid_t Child, int Seconds) {
  int Status = 0;
  for (int Tenths = 0; Tenths < 10 * Seconds; Tenths++) {
    if (waitpid(Child, &Status, WNOHANG) == Child) return Status;
    struct timespec Tenth = {0, 100000000};
    nanosleep(&Tenth, nullptr);
  }
  kill(Child, SIGKILL);
  waitpid(Child, &Status, 0);
  return Status;
}

static void RunChild(const FakeTree &Tree, int In, int Out) {
  gLinux.Volumes.clear();
  gLinux.Root = Tree.Root;
  FindVolumes(&gLinux);
  InstallServices(&gLinux);
  InstallTerminal(&gLinux.SystemTable, In, Out);
  static UINT8 Image;
  EfiMain(&Image, &gLinux.SystemTable);
  EndProgram(3);  // not reached: the closing key ends the program
}

static std::vector<UINT8> Utf16(const std::u16string &Text) {
  std::vector<UINT8> Bytes;
  for (char16_t C : Text + u'\0') Bytes.insert(Bytes.end(), {(UINT8)(C & 0xFF), (UINT8)(C >> 8)});
  return Bytes;
}

TEST(LinuxDialogue, TypicalRunWritesTheFirmwaresRecord) {
  FakeTree Tree;
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Parts), Parts);
  Tree.Write("/proc/self/mountinfo", "31 22 254:1 / /esp rw - vfat /dev/vda1 rw\n");
  Tree.Write("/esp/EFI/test/loader.efi", "MZ");
  Tree.Write("/sys/firmware/efi/efivars/.keep", "");
  int Keys[2], Screen[2];
  ASSERT_EQ(pipe(Keys), 0);
  ASSERT_EQ(pipe(Screen), 0);
  pid_t Parent = getpid();
  pid_t Child = fork();
  if (Child == 0) {
    // Killed with the test, even by SIGKILL at its time limit; a parent
    // already gone before the prctl leaves the child to init.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != Parent) _exit(4);
    close(Keys[1]);
    close(Screen[0]);
    RunChild(Tree, Keys[0], Screen[1]);
  }
  close(Keys[0]);
  close(Screen[1]);
  const std::pair<const char *, const char *> Session[] = {
      {"Enter the index for Home Volume", "0\r"},
      {"Do you want to create Boot Volume", "n"},
      {"Now, type Description:", "Probe\r"},
      {"Now, type Loader File Path:", "\\EFI\\test\\loader.efi\r"},
      {"Type \"y\" for \"yes\"\r\n", "y"},
      {"Press <s> to shutdown", "s"},
  };
  std::string Seen;
  bool Answered = true;
  for (auto [Question, Answer] : Session) {
    Answered = WaitFor(Screen[0], &Seen, Question) &&
               write(Keys[1], Answer, strlen(Answer)) == (ssize_t)strlen(Answer);
    EXPECT_TRUE(Answered) << Question << " never came or was not answered:\n" << Seen;
    if (!Answered) break;
  }
  int Status = EndChild(Child, Answered ? 10 : 0);
  close(Keys[1]);
  close(Screen[0]);
  ASSERT_TRUE(Answered);
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
  std::string Plain = std::regex_replace(Seen, std::regex("\x1b\\[[0-9;]*m"), "");
  EXPECT_NE(Plain.find("[0]:/dev/vda1/HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x22,0x800)"),
            std::string::npos);

  std::vector<UINT8> Path = {4, 1, 42, 0, 1, 0, 0, 0, 34, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};
  for (int I = 0; I < 16; I++) Path.push_back(FakeGuidByte(1, I));
  Path.insert(Path.end(), {2, 2});
  std::vector<UINT8> Name = Utf16(u"\\EFI\\test\\loader.efi");
  Path.insert(Path.end(), {4, 4, (UINT8)(4 + Name.size()), 0});
  Path.insert(Path.end(), Name.begin(), Name.end());
  Path.insert(Path.end(), {0x7F, 0xFF, 4, 0});
  std::vector<UINT8> Record = {7, 0, 0, 0, 1, 0, 0, 0, (UINT8)Path.size(), 0};
  std::vector<UINT8> Description = Utf16(u"Probe");
  Record.insert(Record.end(), Description.begin(), Description.end());
  Record.insert(Record.end(), Path.begin(), Path.end());
  const std::string Vars = "/sys/firmware/efi/efivars/";
  EXPECT_EQ(Tree.Read(Vars + "Boot0000-8be4df61-93ca-11d2-aa0d-00e098032b8c"),
            std::string(Record.begin(), Record.end()));
  EXPECT_EQ(Tree.Read(Vars + "BootOrder-8be4df61-93ca-11d2-aa0d-00e098032b8c"),
            std::string("\x07\0\0\0\0\0", 6));
}
