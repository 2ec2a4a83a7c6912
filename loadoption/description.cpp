#include "loadoption/description.h"

#include "console/input.h"
#include "console/output.h"

static const CHAR16 DefaultDescription[] = u"Unnamed";

// Cannot fail: an empty answer gets a name, and the line editor keeps the
// text within the buffer.
BOOLEAN AskDescription(DialogState *State) {
  Print(u"Now, type Description:\r\n");
  UINTN Count = GetStringFromUser(State->Description, DESCRIPTION_CAPACITY);
  State->DescriptionSize = 2 * (Count + 1);
  if (Count == 0) {
    for (UINTN I = 0; I < sizeof(DefaultDescription) / sizeof(CHAR16); I++) {
      State->Description[I] = DefaultDescription[I];
    }
    State->DescriptionSize = sizeof(DefaultDescription);
  }
  return TRUE;
}
