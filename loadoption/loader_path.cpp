#include "loadoption/loader_path.h"

#include "app/firmware_context.h"
#include "console/colours.h"
#include "console/input.h"
#include "console/output.h"
#include "loadoption/device_path_walk.h"
#include "loadoption/file_path_node.h"
#include "loadoption/loader_presence.h"

// The path is typed straight into the node, so the name the firmware opens
// and the name stored in the load option are the same characters.
static UINTN AskLoaderPath(DialogState *State) {
  Print(u"Now, type Loader File Path:\r\n");
  UINTN Count = GetStringFromUser(State->LoaderNode.PathName, LOADER_PATH_CAPACITY);
  Print(u"Checking ");
  SetRole(ATTR_HIGHLIGHT);
  Print(State->LoaderNode.PathName);
  SetRole(ATTR_NORMAL);
  Print(u" for presence...\r\n");
  return Count;
}

// homevoldpfull is stored the moment it exists, so the clean-up frees it on
// every later path; homevoldpshort points into it.
static BOOLEAN CutHomeShortForm(DialogState *State) {
  EFI_DEVICE_PATH_UTILITIES_PROTOCOL *Utilities = State->DevicePathUtilities;
  State->homevoldpfull = Utilities->AppendDeviceNode(State->homevoldp, &State->LoaderNode.Header);
  if (State->homevoldpfull == nullptr) {
    ReportErrorText(u"E: fail on appending FilePathNode to the Home Volume path.\r\n");
    return FALSE;
  }
  UINTN FullSize = Utilities->GetDevicePathSize(State->homevoldpfull);
  if (FullSize == 0) {
    ReportErrorText(u"E: on getting device path size for homevoldpfull.\r\n");
    return FALSE;
  }
  UINTN Skipped = 0;
  State->homevoldpshort = FindHardDriveNode(State->homevoldpfull, FullSize, &Skipped);
  if (State->homevoldpshort == nullptr) {
    ReportErrorText(u"E: on getting device path size for homevoldpshort.\r\n");
    return FALSE;
  }
  State->HomeShortSize = FullSize - Skipped;
  return TRUE;
}

BOOLEAN BuildLoaderPath(DialogState *State) {
  EFI_STATUS Status = gFirmware.BootServices->LocateProtocol(
      &EFI_DEVICE_PATH_UTILITIES_PROTOCOL_GUID, nullptr, (VOID **)&State->DevicePathUtilities);
  if (Status != EFI_SUCCESS) {
    ReportError(u"E: locating DPUP, S: ", Status);
    return FALSE;
  }
  UINTN Count = AskLoaderPath(State);
  if (!CheckLoaderPresence(State->homevolh, State->LoaderNode.PathName)) {
    return FALSE;
  }
  FillFilePathHeader(&State->LoaderNode.Header, 2 * Count + 2);
  if (!CutHomeShortForm(State)) {
    return FALSE;
  }
  if (State->bootvolh == nullptr) {
    State->BootShortSize = 0;
  }
  return TRUE;
}
