// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/loader_path.h"

#include "common/firmware_context.h"
#include "console/keyboard.h"
#include "console/line_editor.h"
#include "console/output.h"
#include "loadoption/file_path_node.h"
#include "loadoption/loader_presence.h"
#include "loadoption/short_form.h"

// The path is typed straight into the node, so the name the firmware opens
// and the name stored in the load option are the same characters.
static UINTN AskLoaderPath(DialogState *State) {
  if (State->Options != nullptr) {
    AnswerLine(State->Options->Loader);  // checked to fit the line when parsed
  }
  Print(u"Now, type Loader File Path:\r\n");
  return GetStringFromUser(State->LoaderNode.PathName, LOADER_PATH_CAPACITY);
}

static const ShortFormReports HomeReports = {
    u"E: fail on appending FilePathNode to the Home Volume path.\r\n",
    u"E: on getting device path size for homevoldpfull.\r\n",
    u"E: on getting device path size for homevoldpshort.\r\n",
};

BOOLEAN BuildLoaderPath(DialogState *State) {
  EFI_STATUS Status = gFirmware.BootServices->LocateProtocol(
      &EFI_DEVICE_PATH_UTILITIES_PROTOCOL_GUID, nullptr, (VOID **)&State->DevicePathUtilities);
  if (Status != EFI_SUCCESS || State->DevicePathUtilities == nullptr) {
    ReportError(u"E: locating DPUP, S: ", Status);
    return FALSE;
  }
  UINTN Count = AskLoaderPath(State);
  PrintHighlightedText(u"Checking ", State->LoaderNode.PathName, u" for presence...\r\n");
  if (!CheckLoaderPresence(State->homevolh, State->LoaderNode.PathName)) {
    return FALSE;
  }
  FillFilePathHeader(&State->LoaderNode.Header, 2 * Count + 2);
  if (!AppendNodeAndCutShortForm(State->DevicePathUtilities, State->homevoldp,
                                 &State->LoaderNode.Header, &State->HomePath, &HomeReports)) {
    return FALSE;
  }
  if (State->bootvolh == nullptr) {
    State->BootPath.ShortSize = 0;
  }
  return TRUE;
}
