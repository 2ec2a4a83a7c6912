#include "app/dialogue.h"

// Steps in the order the user meets them. A step that is not built yet is not
// in the list: the run then goes from the last built step to the clean-up.
static const DialogStep Steps[] = {
    nullptr,
};

void RunDialogue(DialogState *State) {
  for (const DialogStep *Step = Steps; *Step != nullptr; Step++) {
    if (!(*Step)(State)) {
      return;
    }
  }
}
