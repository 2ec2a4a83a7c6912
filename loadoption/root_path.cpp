// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/root_path.h"

#include "console/keyboard.h"
#include "console/line_editor.h"
#include "console/output.h"
#include "loadoption/file_path_node.h"
#include "loadoption/short_form.h"

// Typed straight into the node; returns the bytes of PathName with its NUL.
// The root path is not looked for on the volume: it may lie on a file system
// the firmware cannot read.
static UINTN AskRootPath(DialogState *State) {
  if (State->Options != nullptr) {
    AnswerLine(State->Options->Root);  // checked to fit the line when parsed
  }
  Print(u"Now, type System Root Path (default is \"Ixo\"):\r\n");
  UINTN Count = GetStringOrDefault(State->RootNode.PathName, ROOT_PATH_CAPACITY, u"Ixo");
  return 2 * Count + 2;
}

static const ShortFormReports BootReports = {
    u"E: fail on appending FilePathNode to the Boot Volume path.\r\n",
    u"E: on getting device path size for bootvoldpfull\r\n",
    u"E: on getting device path size for bootvoldpshort.\r\n",
};

BOOLEAN BuildRootPath(DialogState *State) {
  if (State->bootvolh == nullptr) {
    return TRUE;  // no BVSRD, so there is no system root to name
  }
  UINTN PathBytes = AskRootPath(State);
  FillFilePathHeader(&State->RootNode.Header, PathBytes);
  return AppendNodeAndCutShortForm(State->DevicePathUtilities, State->bootvoldp,
                                   &State->RootNode.Header, &State->BootPath, &BootReports);
}
