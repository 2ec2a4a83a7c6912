// Volumes, block devices and device paths of the simulated firmware.
#include "sim_firmware.h"

void InstallSimVolumes(SimFirmware &) {}
