#include "loadoption/root_path.h"

#include "console/input.h"
#include "console/output.h"
#include "loadoption/device_path_walk.h"
#include "loadoption/file_path_node.h"

static const CHAR16 DefaultRootPath[] = u"Ixo";

// Typed straight into the node; returns the bytes of PathName with its NUL.
// The root path is not looked for on the volume: it may lie on a file system
// the firmware cannot read.
static UINTN AskRootPath(DialogState *State) {
  Print(u"Now, type System Root Path (default is \"Ixo\"):\r\n");
  UINTN Count = GetStringFromUser(State->RootNode.PathName, ROOT_PATH_CAPACITY);
  if (Count == 0) {
    for (UINTN I = 0; I < sizeof(DefaultRootPath) / sizeof(CHAR16); I++) {
      State->RootNode.PathName[I] = DefaultRootPath[I];
    }
    return sizeof(DefaultRootPath);
  }
  return 2 * Count + 2;
}

// bootvoldpfull is stored the moment it exists, so the clean-up frees it on
// every later path; bootvoldpshort points into it.
static BOOLEAN CutBootShortForm(DialogState *State) {
  EFI_DEVICE_PATH_UTILITIES_PROTOCOL *Utilities = State->DevicePathUtilities;
  State->bootvoldpfull = Utilities->AppendDeviceNode(State->bootvoldp, &State->RootNode.Header);
  if (State->bootvoldpfull == nullptr) {
    ReportErrorText(u"E: fail on appending FilePathNode to the Boot Volume path.\r\n");
    return FALSE;
  }
  UINTN FullSize = Utilities->GetDevicePathSize(State->bootvoldpfull);
  if (FullSize == 0) {
    ReportErrorText(u"E: on getting device path size for bootvoldpfull\r\n");
    return FALSE;
  }
  UINTN Skipped = 0;
  State->bootvoldpshort = FindHardDriveNode(State->bootvoldpfull, FullSize, &Skipped);
  if (State->bootvoldpshort == nullptr) {
    ReportErrorText(u"E: on getting device path size for bootvoldpshort.\r\n");
    return FALSE;
  }
  State->BootShortSize = FullSize - Skipped;
  return TRUE;
}

BOOLEAN BuildRootPath(DialogState *State) {
  if (State->bootvolh == nullptr) {
    return TRUE;  // no BVSRD, so there is no system root to name
  }
  UINTN PathBytes = AskRootPath(State);
  FillFilePathHeader(&State->RootNode.Header, PathBytes);
  return CutBootShortForm(State);
}
