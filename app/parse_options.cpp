// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "app/parse_options.h"

#include "common/dialog_state.h"
#include "console/output.h"
#include "volumes/volume_selector.h"

#ifndef ADDBOOTENTRY_VERSION
#error "ADDBOOTENTRY_VERSION comes from the build (project()'s version)"
#endif

enum OptionId : UINT8 {
  OPT_LOADER,
  OPT_VOLUME,
  OPT_LABEL,
  OPT_BOOT_VOLUME,
  OPT_ROOT,
  OPT_BOOT_FS,
  OPT_BVSRD_AS,
  OPT_THEN,
  OPT_YES,
  OPT_DRY_RUN,
  OPT_BOOT_NEXT,
  OPT_HELP,
  OPT_VERSION,
  OPTION_COUNT
};
// Options from here on take no value.
#define FIRST_FLAG OPT_YES

static const CHAR16 *const Names[OPTION_COUNT] = {
    u"--loader",    u"--volume",   u"--label",   u"--boot-volume", u"--root",
    u"--boot-fs",   u"--bvsrd-as", u"--then",    u"--yes",         u"--dry-run",
    u"--boot-next", u"--help",     u"--version",
};

// The words as given: the value of each option (the option's own word for a
// flag), NULL when absent.
typedef const CHAR16 *GivenWords[OPTION_COUNT];

static BOOLEAN SameText(const CHAR16 *A, const CHAR16 *B) {
  while (*A != 0 && *A == *B) {
    A++;
    B++;
  }
  return *A == *B;
}

static UINTN TextLength(const CHAR16 *Text) {
  UINTN Length = 0;
  while (Text[Length] != 0) {
    Length++;
  }
  return Length;
}

// The one line of a refused run: "E: ", the option, and what is wrong with it.
static EFI_STATUS Refuse(const CHAR16 *Option, const CHAR16 *Problem) {
  ReportRefusal(Option, nullptr, Problem);
  return EFI_INVALID_PARAMETER;
}

static INT32 FindOption(const CHAR16 *Word, UINT32 Accepted) {
  for (UINTN Id = 0; Id < OPTION_COUNT; Id++) {
    if (SameText(Word, Names[Id])) {
      return Id == OPT_THEN && (Accepted & RUN_ACCEPTS_THEN) == 0 ? -1 : (INT32)Id;
    }
  }
  return -1;
}

static EFI_STATUS CollectWords(UINTN Count, const CHAR16 *const *Args, UINT32 Accepted,
                               GivenWords Given) {
  for (UINTN At = 0; At < Count; At++) {
    INT32 Id = FindOption(Args[At], Accepted);
    if (Id < 0) {
      return Refuse(Args[At], u": no such option (--help lists them)");
    }
    if (Given[Id] != nullptr) {
      return Refuse(Names[Id], u": given twice");
    }
    if (Id >= FIRST_FLAG) {
      Given[Id] = Names[Id];
      continue;
    }
    // A value that looks like an option is one: the value was left out.
    if (At + 1 == Count || (Args[At + 1][0] == u'-' && Args[At + 1][1] == u'-')) {
      return Refuse(Names[Id], u": needs a value");
    }
    Given[Id] = Args[++At];
    if (Given[Id][0] == 0) {
      return Refuse(Names[Id], u": the value is empty");
    }
  }
  return EFI_SUCCESS;
}

// A text the dialogue's line takes as typed: at most Capacity - 1 characters
// (the line ends by itself when full), none the line editor drops or erases
// with, and no surrogate, which UCS-2 cannot carry.
static EFI_STATUS CheckLine(OptionId Id, const CHAR16 *Text, UINTN Capacity) {
  UINTN Length = TextLength(Text);
  if (Length >= Capacity) {
    return Refuse(Names[Id], u": longer than the dialogue's line");
  }
  for (UINTN I = 0; I < Length; I++) {
    CHAR16 C = Text[I];
    if (C < 0x20 || C == 0x7F || (C >= 0xD800 && C <= 0xDFFF)) {
      return Refuse(Names[Id], u": holds a character the entry cannot hold");
    }
  }
  return EFI_SUCCESS;
}

// Index of Word in Choices (NULL-terminated), plus First; -1 when absent.
static INT32 Choose(const CHAR16 *Word, const CHAR16 *const *Choices, INT32 First) {
  for (INT32 I = 0; Choices[I] != nullptr; I++) {
    if (SameText(Word, Choices[I])) {
      return First + I;
    }
  }
  return -1;
}

static EFI_STATUS ReadChoices(const GivenWords Given, RunOptions *Options) {
  static const CHAR16 *const Fs[] = {u"kfs", u"wfs", u"qfs", nullptr};
  static const CHAR16 *const As[] = {u"data", u"path", nullptr};
  static const CHAR16 *const Then[] = {u"exit", u"shutdown", u"reboot", nullptr};
  INT32 Value;
  if (Given[OPT_BOOT_FS] != nullptr) {
    if ((Value = Choose(Given[OPT_BOOT_FS], Fs, 1)) < 0) {
      return Refuse(Names[OPT_BOOT_FS], u": takes kfs, wfs or qfs");
    }
    Options->BootFs = (UINT8)Value;
  }
  if (Given[OPT_BVSRD_AS] != nullptr) {
    if ((Value = Choose(Given[OPT_BVSRD_AS], As, BVSRD_AS_DATA)) < 0) {
      return Refuse(Names[OPT_BVSRD_AS], u": takes data or path");
    }
    Options->BvsrdAs = (UINT8)Value;
  }
  if (Given[OPT_THEN] != nullptr) {
    if ((Value = Choose(Given[OPT_THEN], Then, RUN_THEN_EXIT)) < 0) {
      return Refuse(Names[OPT_THEN], u": takes exit, shutdown or reboot");
    }
    Options->Then = (UINT8)Value;
  }
  return EFI_SUCCESS;
}

// What one option needs of the others: every option needs --loader, and the
// two BVSRD options need --boot-volume, which needs --bvsrd-as.
static EFI_STATUS CheckCompanions(const GivenWords Given) {
  for (UINTN Id = 0; Id < OPT_HELP; Id++) {
    if (Given[Id] != nullptr && Given[OPT_LOADER] == nullptr) {
      return Refuse(Names[Id], u": needs --loader (which makes the run unattended)");
    }
  }
  if (Given[OPT_BOOT_VOLUME] == nullptr) {
    static const OptionId NeedBootVolume[] = {OPT_BOOT_FS, OPT_BVSRD_AS, OPT_ROOT};
    for (OptionId Id : NeedBootVolume) {
      if (Given[Id] != nullptr) {
        return Refuse(Names[Id], u": needs --boot-volume");
      }
    }
  } else if (Given[OPT_BVSRD_AS] == nullptr) {
    return Refuse(Names[OPT_BOOT_VOLUME], u": needs --bvsrd-as data or --bvsrd-as path");
  }
  return EFI_SUCCESS;
}

static EFI_STATUS CheckTexts(const GivenWords Given) {
  const CHAR16 *Loader = Given[OPT_LOADER];
  if (Loader[0] != u'\\') {
    return Refuse(Names[OPT_LOADER], u": must begin with \\ (the path on its volume)");
  }
  EFI_STATUS Status = CheckLine(OPT_LOADER, Loader, LOADER_PATH_CAPACITY);
  if (Status == EFI_SUCCESS && Given[OPT_LABEL] != nullptr) {
    Status = CheckLine(OPT_LABEL, Given[OPT_LABEL], DESCRIPTION_CAPACITY);
  }
  if (Status == EFI_SUCCESS && Given[OPT_ROOT] != nullptr) {
    Status = CheckLine(OPT_ROOT, Given[OPT_ROOT], ROOT_PATH_CAPACITY);
  }
  static const OptionId Selectors[] = {OPT_VOLUME, OPT_BOOT_VOLUME};
  for (OptionId Id : Selectors) {
    VolumeSelector Selector;
    if (Status == EFI_SUCCESS && Given[Id] != nullptr &&
        !ParseVolumeSelector(Given[Id], &Selector)) {
      Status = Refuse(Names[Id], u": takes PARTUUID=<GUID> or PARTUUID=<8 hex>-<2 hex>");
    }
  }
  return Status;
}

EFI_STATUS ParseRunOptions(UINTN Count, const CHAR16 *const *Args, UINT32 Accepted,
                           RunOptions *Options) {
  *Options = {};
  GivenWords Given = {};
  EFI_STATUS Status = CollectWords(Count, Args, Accepted, Given);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  Options->Help = Given[OPT_HELP] != nullptr;
  Options->Version = Given[OPT_VERSION] != nullptr;
  if (Options->Help || Options->Version) {
    return EFI_SUCCESS;  // nothing else is looked at, nothing is run
  }
  Status = CheckCompanions(Given);
  if (Status != EFI_SUCCESS || Given[OPT_LOADER] == nullptr) {
    return Status;
  }
  Status = CheckTexts(Given);
  if (Status == EFI_SUCCESS) {
    Status = ReadChoices(Given, Options);
  }
  if (Status != EFI_SUCCESS) {
    *Options = {};
    return Status;
  }
  Options->Unattended = TRUE;
  Options->Loader = Given[OPT_LOADER];
  Options->Volume = Given[OPT_VOLUME];
  Options->Label = Given[OPT_LABEL];
  Options->BootVolume = Given[OPT_BOOT_VOLUME];
  Options->Root = Given[OPT_ROOT];
  Options->Yes = Given[OPT_YES] != nullptr;
  Options->DryRun = Given[OPT_DRY_RUN] != nullptr;
  Options->BootNext = Given[OPT_BOOT_NEXT] != nullptr;
  return EFI_SUCCESS;
}

void PrintUsage(UINT32 Accepted) {
  Print(u"usage: addbootentry [--loader \\PATH [options]]  (no options: the dialogue)\r\n"
        u"  --loader \\PATH       the loader's path on its volume: an unattended run\r\n"
        u"  --volume SEL         its volume (omitted: the one holding the loader)\r\n"
        u"  --label TEXT         the entry's description (omitted: Unnamed)\r\n"
        u"  --boot-volume SEL    a Boot Volume System Root Descriptor on this volume\r\n"
        u"  --boot-fs kfs|wfs|qfs   its file system, when it is not FAT\r\n"
        u"  --root PATH          its system root (omitted: Ixo)\r\n"
        u"  --bvsrd-as data|path    as optional data or as the second device path\r\n"
        u"  --yes                write without asking\r\n"
        u"  --dry-run            show the entry and its variable, write nothing\r\n"
        u"  --boot-next          also boot the entry once at the next start\r\n");
  if ((Accepted & RUN_ACCEPTS_THEN) != 0) {
    Print(u"  --then exit|shutdown|reboot   how the run ends (default exit)\r\n");
  }
  Print(u"  --help, --version\r\n"
        u"SEL: PARTUUID=<GUID> or PARTUUID=<8 hex>-<2 hex> (an MBR disk and partition)\r\n");
}

void PrintVersion() { Print(u"addbootentry " ADDBOOTENTRY_VERSION u"\r\n"); }
