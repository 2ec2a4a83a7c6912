#include "app/dialogue.h"

#include "bootvars/boot_vars.h"
#include "loadoption/description.h"
#include "loadoption/load_option.h"
#include "loadoption/loader_path.h"
#include "loadoption/root_path.h"
#include "volumes/boot_volume.h"
#include "volumes/home_volume.h"
#include "volumes/system_partition.h"

// Steps in the order the user meets them. A step that is not built yet is not
// in the list: the run then goes from the last built step to the clean-up.
static const DialogStep Steps[] = {
    ChooseHomeVolume,
    ChooseBootVolume,
    AskDescription,
    BuildLoaderPath,
    BuildRootPath,
    BuildLoadOption,
    ChooseOptionNumber,
    WarnWithoutSystemPartition,
    ConfirmAndWrite,
    nullptr,
};

void RunDialogue(DialogState *State) {
  for (const DialogStep *Step = Steps; *Step != nullptr; Step++) {
    if (!(*Step)(State)) {
      return;
    }
  }
}
