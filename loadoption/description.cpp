// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "loadoption/description.h"

#include "console/keyboard.h"
#include "console/line_editor.h"
#include "console/output.h"

// Cannot fail: an empty answer gets a name, and the line editor keeps the
// text within the buffer.
BOOLEAN AskDescription(DialogState *State) {
  if (State->Options != nullptr) {
    AnswerLine(State->Options->Label);  // checked to fit the line when parsed
  }
  Print(u"Now, type Description:\r\n");
  UINTN Count = GetStringOrDefault(State->Description, DESCRIPTION_CAPACITY, u"Unnamed");
  State->DescriptionSize = 2 * (Count + 1);
  return TRUE;
}
