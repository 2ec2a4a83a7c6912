// SPDX-License-Identifier: BSD-2-Clause-Patent
// ParseRunOptions over arbitrary words. The first byte chooses what is
// accepted; the rest are UCS-2 characters, little-endian, a 0 between words,
// each word copied into a heap buffer of its exact size so that
// AddressSanitizer reports any read past its NUL. A refusal is one line and
// leaves nothing to act on; an accepted run holds only values the dialogue's
// questions take.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/parse_options.h"
#include "common/dialog_state.h"
#include "sim_firmware.h"
#include "volumes/volume_selector.h"

static bool PointsIntoWords(const CHAR16 *Value, const std::vector<CHAR16 *> &Words) {
  if (Value == nullptr) return true;
  for (CHAR16 *Word : Words) {
    if (Value == Word) return true;
  }
  return false;
}

static size_t Length(const CHAR16 *Text) {
  size_t Count = 0;
  while (Text[Count] != 0) Count++;
  return Count;
}

// A value the line editor takes as typed and then ends at Enter.
static bool FitsLine(const CHAR16 *Text, size_t Capacity) {
  if (Text == nullptr) return true;
  for (size_t I = 0; Text[I] != 0; I++) {
    if (Text[I] < 0x20 || Text[I] == 0x7F || (Text[I] >= 0xD800 && Text[I] <= 0xDFFF)) return false;
  }
  return Length(Text) + 1 <= Capacity;
}

static void CheckAccepted(const RunOptions &O, const std::vector<CHAR16 *> &Words) {
  if (O.Help || O.Version || !O.Unattended) {
    if (O.Loader != nullptr) std::abort();
    return;
  }
  const CHAR16 *Texts[] = {O.Loader, O.Volume, O.Label, O.BootVolume, O.Root};
  for (const CHAR16 *Text : Texts) {
    if (!PointsIntoWords(Text, Words) || (Text != nullptr && Text[0] == 0)) std::abort();
  }
  if (O.Loader == nullptr || O.Loader[0] != u'\\') std::abort();
  if (!FitsLine(O.Loader, LOADER_PATH_CAPACITY) || !FitsLine(O.Label, DESCRIPTION_CAPACITY) ||
      !FitsLine(O.Root, ROOT_PATH_CAPACITY)) {
    std::abort();
  }
  bool Boot = O.BootVolume != nullptr;
  if (Boot != (O.BvsrdAs != BVSRD_NONE) || (!Boot && (O.BootFs != BOOT_FS_NONE || O.Root))) {
    std::abort();
  }
  if (O.BootFs > 3 || O.BvsrdAs > BVSRD_AS_PATH || O.Then > RUN_THEN_REBOOT) std::abort();
  VolumeSelector Selector;
  if ((O.Volume && !ParseVolumeSelector(O.Volume, &Selector)) ||
      (Boot && !ParseVolumeSelector(O.BootVolume, &Selector))) {
    std::abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const UINT8 *Data, size_t Size) {
  if (Size == 0) return 0;
  UINT32 Accepted = (Data[0] & 1) ? RUN_ACCEPTS_THEN : 0;
  std::vector<std::u16string> Texts(1);
  for (size_t At = 1; At + 1 < Size; At += 2) {
    CHAR16 C = (CHAR16)(Data[At] | Data[At + 1] << 8);
    if (C == 0) {
      Texts.emplace_back();
    } else {
      Texts.back() += C;
    }
  }
  std::vector<CHAR16 *> Words;
  for (const std::u16string &Text : Texts) {
    CHAR16 *Word = static_cast<CHAR16 *>(std::malloc(2 * (Text.size() + 1)));
    std::memcpy(Word, Text.c_str(), 2 * (Text.size() + 1));
    Words.push_back(Word);
  }
  SimFirmware Fw;
  Fw.KeepsCells = false;
  RunOptions Options;
  EFI_STATUS Status = EFI_SUCCESS;
  Fw.Call([&] { Status = ParseRunOptions(Words.size(), Words.data(), Accepted, &Options); });
  std::string Screen = Fw.Screen();
  size_t Lines = 0;
  for (size_t At = Screen.find("\r\n"); At != std::string::npos; At = Screen.find("\r\n", At + 1)) {
    Lines++;
  }
  if (Status == EFI_SUCCESS) {
    if (Lines != 0) std::abort();
    CheckAccepted(Options, Words);
  } else {
    // One line in the error colour, "E: " and the word at fault; nothing to act on.
    if (Status != EFI_INVALID_PARAMETER || Lines != 1 || Screen.rfind("{ERROR}E: ", 0) != 0) {
      std::abort();
    }
    if (Options.Unattended || Options.Loader != nullptr || Options.Help) std::abort();
  }
  for (CHAR16 *Word : Words) std::free(Word);
  return 0;
}
