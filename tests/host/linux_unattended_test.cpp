// SPDX-License-Identifier: BSD-2-Clause-Patent
// Unattended runs on the Linux firmware, in a child process as the program
// runs them with --json: the exit status, the JSON object on standard output
// against the variable files the run leaves, and a second identical run that
// writes nothing.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "app/run.h"
#include "fake_linux.h"
#include "linux/ending.h"
#include "linux/linux_services.h"
#include "linux/linux_volumes.h"
#include "linux/terminal.h"

static const std::vector<FakePartition> Parts = {{34, 2081, true, true},
                                                 {2082, 4095, false, false}};
static const std::string Vars = "/sys/firmware/efi/efivars/";
static const std::string Global = "-8be4df61-93ca-11d2-aa0d-00e098032b8c";

static std::string ReadAll(int From) {
  std::string Text;
  char Chunk[512];
  for (ssize_t Got; (Got = read(From, Chunk, sizeof Chunk)) > 0;) Text.append(Chunk, (size_t)Got);
  return Text;
}

// The run with Words and --json: the dialogue's text to a pipe that stands
// for standard error, the object to the one for standard output. The wait
// status; *Json the object's line.
static int RunUnattended(const FakeTree &Tree, std::vector<const CHAR16 *> Words,
                         std::string *Json) {
  int Out[2];
  int Screen[2];
  if (pipe(Out) != 0 || pipe(Screen) != 0) return -1;
  // What this process has buffered would reach the child's standard output.
  std::fflush(nullptr);
  pid_t Child = fork();
  if (Child == 0) {
    close(Out[0]);
    close(Screen[0]);
    dup2(Out[1], STDOUT_FILENO);
    dup2(Screen[1], STDERR_FILENO);
    static LinuxFirmware Fw;
    Fw.Root = Tree.Root;
    Fw.Json = TRUE;
    FindVolumes(&Fw);
    InstallServices(&Fw);
    InstallTerminal(&Fw.SystemTable, -1, STDERR_FILENO);
    static UINT8 Image;
    RunApplication(&Image, &Fw.SystemTable, Words.size(), Words.data(), nullptr, 0);
    EndProgram(3);  // not reached: the run ends through Exit
  }
  close(Out[1]);
  close(Screen[1]);
  *Json = ReadAll(Out[0]);
  ReadAll(Screen[0]);  // the dialogue's text, read so that the child never blocks
  close(Out[0]);
  close(Screen[0]);
  int Status = 0;
  waitpid(Child, &Status, 0);
  return Status;
}

static std::string Hex(const std::string &Bytes) {
  std::string Text;
  for (unsigned char B : Bytes) {
    char Pair[3];
    snprintf(Pair, sizeof Pair, "%02x", B);
    Text += Pair;
  }
  return Text;
}

struct UnattendedCase {
  const char *Name;
  std::vector<const CHAR16 *> Extra;   // after --loader and its path
  std::vector<const CHAR16 *> Before;  // the words after --loader of a run before; none when empty
  int ExitStatus;
  std::vector<std::string> InJson;
  bool Written;  // Boot0000 exists after the runs
};

TEST(LinuxUnattended, ExitStatusAndJsonSayWhatTheRunLeft) {
  const CHAR16 *Loader = u"\\EFI\\test\\loader.efi";
  // clang-format off
  const UnattendedCase Cases[] = {
      {"created", {u"--label", u"Probe", u"--yes"}, {}, 0,
       {"{\"result\": \"created\", \"variable\": \"Boot0000\", \"number\": 0, \"label\": \"Probe\", ",
        "\"boot_order\": [\"0000\"], \"boot_next\": null, \"message\": "}, true},
      {"second identical run", {u"--label", u"Probe", u"--yes"}, {u"--label", u"Probe", u"--yes"}, 0,
       {"{\"result\": \"unchanged\", \"variable\": \"Boot0000\"", "\"boot_order\": [\"0000\"]"}, true},
      {"another label: the entry found keeps its own", {u"--label", u"Other", u"--yes"},
       {u"--label", u"Probe", u"--yes"}, 0, {"\"result\": \"unchanged\"", "\"label\": \"Probe\""}, true},
      {"BootNext on the entry found", {u"--yes", u"--boot-next"}, {u"--yes"}, 0,
       {"\"result\": \"unchanged\"", "\"boot_next\": \"0000\""}, true},
      {"dry run", {u"--label", u"Probe", u"--dry-run"}, {}, 0,
       {"{\"result\": \"dry-run\", \"variable\": \"Boot0000\"", "\"boot_order\": []"}, false},
      {"BootNext", {u"--yes", u"--boot-next"}, {}, 0, {"\"boot_next\": \"0000\""}, true},
      {"loader not there", {u"--yes"}, {}, 1,
       {"{\"result\": \"failed\", \"variable\": null, \"number\": null, \"label\": null"}, false},
  };
  // clang-format on
  for (const UnattendedCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    FakeTree Tree;
    AddFakeDisk(Tree, "vda", 512, GptDisk(512, 4096, Parts), Parts);
    Tree.Write("/proc/self/mountinfo", MountFakePartition(Tree, "vda", "vda1", "/esp"));
    if (Case.ExitStatus == 0) Tree.Write("/esp/EFI/test/loader.efi", "MZ");
    Tree.Write(Vars + ".keep", "");
    std::vector<const CHAR16 *> Words = {u"--loader", Loader};
    std::string Json;
    if (!Case.Before.empty()) {
      std::vector<const CHAR16 *> Before = Words;
      Before.insert(Before.end(), Case.Before.begin(), Case.Before.end());
      ASSERT_EQ(RunUnattended(Tree, Before, &Json), 0) << Json;
    }
    Words.insert(Words.end(), Case.Extra.begin(), Case.Extra.end());
    int Status = RunUnattended(Tree, Words, &Json);
    ASSERT_TRUE(WIFEXITED(Status)) << Status;
    EXPECT_EQ(WEXITSTATUS(Status), Case.ExitStatus);
    ASSERT_EQ(Json.empty() ? '\0' : Json.back(), '\n') << "one line: " << Json;
    EXPECT_EQ(Json.find('\n'), Json.size() - 1) << Json;
    for (const std::string &Part : Case.InJson)
      EXPECT_NE(Json.find(Part), std::string::npos) << Json;
    std::string Option = Tree.Read(Vars + "Boot0000" + Global);
    EXPECT_EQ(!Option.empty(), Case.Written);
    EXPECT_TRUE(Tree.Read(Vars + "Boot0001" + Global).empty()) << "a second entry";
    if (!Option.empty()) {
      // The object's record is the one stored, after its 4 bytes of attributes.
      EXPECT_NE(Json.find("\"load_option\": \"" + Hex(Option.substr(4)) + "\""), std::string::npos)
          << Json;
    }
  }
}
