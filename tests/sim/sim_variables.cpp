// The variable store of the simulated firmware.
#include "sim_firmware.h"

void InstallSimVariables(SimFirmware &) {}
