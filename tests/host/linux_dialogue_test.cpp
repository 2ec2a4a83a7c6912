// SPDX-License-Identifier: BSD-2-Clause-Patent
// The whole dialogue on the Linux firmware, in a child process as the
// program runs it: keys through a pipe, answered when their question shows,
// and the variable files it leaves compared with the record laid out here.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <ctime>

#include <regex>

#include "fake_linux.h"
#include "linux/ending.h"
#include "linux/linux_services.h"
#include "linux/linux_volumes.h"
#include "linux/terminal.h"

static const std::vector<FakePartition> Parts = {{34, 2081, true, true},
                                                 {2082, 4095, false, false}};

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

// The program's standard error goes to the screen too: the notes after the
// run are read with the dialogue.
static void RunChild(const FakeTree &Tree, int In, int Out) {
  dup2(Out, STDERR_FILENO);
  static LinuxFirmware Fw;
  Fw.Root = Tree.Root;
  FindVolumes(&Fw);
  InstallServices(&Fw);
  InstallTerminal(&Fw.SystemTable, In, Out);
  static UINT8 Image;
  EfiMain(&Image, &Fw.SystemTable);
  EndProgram(3);  // not reached: the closing key ends the program
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

typedef std::pair<const char *, const char *> Step;  // a question, and the keys that answer it

// Runs the program over Tree, answering each question as it shows; the
// screen so far into *Seen. The wait status, or -1 when a question never came.
static int RunSession(const FakeTree &Tree, const std::vector<Step> &Session, std::string *Seen) {
  int Keys[2];
  int Screen[2];
  if (pipe(Keys) != 0 || pipe(Screen) != 0) return -1;
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
  BOOLEAN Answered = TRUE;
  for (auto [Question, Answer] : Session) {
    Answered = Answered && WaitFor(Screen[0], Seen, Question) &&
               write(Keys[1], Answer, strlen(Answer)) == (ssize_t)strlen(Answer);
  }
  close(Keys[1]);
  WaitFor(Screen[0], Seen, "\x01never shown");  // the rest, to the end
  close(Screen[0]);
  int Status = EndChild(Child, Answered ? 10 : 0);
  return Answered ? Status : -1;
}

static void MakeTypicalTree(const FakeTree &Tree) {
  AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Parts), Parts);
  Tree.Write("/proc/self/mountinfo", MountFakePartition(Tree, "vda", "vda1", "/esp"));
  Tree.Write("/esp/EFI/test/loader.efi", "MZ");
  Tree.Write("/sys/firmware/efi/efivars/.keep", "");
}

static std::vector<UINT8> Utf16(const std::u16string &Text) {
  std::vector<UINT8> Bytes;
  for (char16_t C : Text + u'\0') Bytes.insert(Bytes.end(), {(UINT8)(C & 0xFF), (UINT8)(C >> 8)});
  return Bytes;
}

TEST(LinuxDialogue, TypicalRunWritesTheFirmwaresRecord) {
  FakeTree Tree;
  MakeTypicalTree(Tree);
  const std::vector<Step> Session = {
      {"Enter the index for Home Volume", "0\r"},
      {"Do you want to create Boot Volume", "n"},
      {"Now, type Description:", "Probe\r"},
      {"Now, type Loader File Path:", "\\EFI\\test\\loader.efi\r"},
      {"Type \"y\" for \"yes\"\r\n", "y"},
      {"Press <s> to shutdown", "s"},
  };
  std::string Seen;
  int Status = RunSession(Tree, Session, &Seen);
  ASSERT_NE(Status, -1) << "a question never came:\n" << Seen;
  EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
  std::string Plain = std::regex_replace(Seen, std::regex("\x1b\\[[0-9;]*m"), "");
  EXPECT_NE(Plain.find("[0]:/dev/vda1/HD(1,GPT,13121110-1514-1716-1819-1A1B1C1D1E1F,0x22,0x800)"),
            std::string::npos);

  std::vector<UINT8> Path = {4, 1, 42, 0, 1, 0, 0, 0, 34, 0, 0, 0,
                             0, 0, 0,  0, 0, 8, 0, 0, 0,  0, 0, 0};
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

struct OutcomeCase {
  const char *Name;
  std::vector<Step> Session;  // after the volume questions
  bool OrderUnwritable;       // BootOrder cannot be created
  int ExitStatus;
  const char *Said;  // on the screen or standard error
};

// The exit status says what became of the entry, whatever the application
// hands to Exit; an option stored but not listed is named.
TEST(LinuxDialogue, ExitStatusSaysWhetherTheEntryWasWritten) {
  const Step Description = {"Now, type Description:", "Probe\r"};
  const Step Loader = {"Now, type Loader File Path:", "\\EFI\\test\\loader.efi\r"};
  const Step Yes = {"Type \"y\" for \"yes\"\r\n", "y"};
  const Step Leave = {"Press <s> to shutdown", "x"};
  // clang-format off
  const OutcomeCase Cases[] = {
      {"written", {Description, Loader, Yes, Leave}, false, 0, "added to \"BootOrder\""},
      {"declined", {Description, Loader, {Yes.first, "n"}, Leave}, false, 1, "You have aborted"},
      {"loader not found", {Description, {Loader.first, "\\EFI\\none.efi\r"}, Leave}, false, 1,
       "The file, you specified is not found"},
      {"BootOrder not written", {Description, Loader, Yes, Leave}, true, 1,
       "addbootentry: Boot0000 was written but is not in BootOrder\n"},
      {"Ctrl-C", {{Description.first, "\x03"}}, false, 130,
       "addbootentry: interrupted; nothing has been written\n"},
  };
  // clang-format on
  for (const OutcomeCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FakeTree Tree;
    MakeTypicalTree(Tree);
    if (Case.OrderUnwritable) {
      // Not there to read, and no folder to create it in.
      ASSERT_EQ(symlink((Tree.Root + "/gone/BootOrder").c_str(),
                        (Tree.Root + "/sys/firmware/efi/efivars/BootOrder-8be4df61-93ca-11d2-aa0d-"
                                     "00e098032b8c")
                            .c_str()),
                0);
    }
    std::vector<Step> Session = {{"Enter the index for Home Volume", "0\r"},
                                 {"Do you want to create Boot Volume", "n"}};
    Session.insert(Session.end(), Case.Session.begin(), Case.Session.end());
    std::string Seen;
    int Status = RunSession(Tree, Session, &Seen);
    ASSERT_NE(Status, -1) << "a question never came:\n" << Seen;
    EXPECT_TRUE(WIFEXITED(Status)) << Status;
    EXPECT_EQ(WEXITSTATUS(Status), Case.ExitStatus);
    EXPECT_NE(Seen.find(Case.Said), std::string::npos) << Seen;
  }
}
