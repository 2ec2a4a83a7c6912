// SPDX-License-Identifier: BSD-2-Clause-Patent
// The description and the load option record, byte for byte, in its three
// forms: no BVSRD, BVSRD as OptionalData, BVSRD as FilePathList[1].
#include "loadoption/load_option.h"

#include <gtest/gtest.h>

#include "common/dialog_state.h"
#include "console/colours.h"
#include "loadoption/description.h"
#include "session.h"

TEST(Description, EmptyAnswerIsUnnamedAndSizesCountTheNul) {
  const std::string Long31(31, 'd');
  const struct {
    std::string Keys;
    std::u16string Stored;
    UINTN Size;
  } Cases[] = {
      {"\r", u"Unnamed", 16},
      {"Unnamed\r", u"Unnamed", 16},
      {"U\r", u"U", 4},
      // The default is written over the erased text and ends with its NUL.
      {"ABCDEFGH\b\b\b\b\b\b\b\b\r", u"Unnamed", 16},
      {Long31 + "\r", std::u16string(31, u'd'), 64},
  };
  for (const auto &Case : Cases) {
    SimFirmware Fw;
    Fw.Type(Case.Keys);
    DialogState State = {};
    BOOLEAN Done = FALSE;
    Fw.Call([&] { Done = AskDescription(&State); });
    EXPECT_TRUE(Done) << Case.Keys;
    EXPECT_EQ(std::u16string(State.Description), Case.Stored) << Case.Keys;
    EXPECT_EQ(State.DescriptionSize, Case.Size) << Case.Keys;
  }
}

static SimPath Pattern(size_t Size, UINT8 Seed) {
  SimPath Bytes(Size);
  for (size_t I = 0; I < Size; I++) Bytes[I] = (UINT8)(Seed + I);
  return Bytes;
}

struct RecordCase {
  const char *Name;
  const char16_t *Description;
  size_t HomeSize;
  bool BootVolume;
  size_t BootSize;
  bool AsFilePath;
  UINT16 FsTypeCode;
  UINTN ExpectedSize;
  const char *ShownSize;
  UINT16 ExpectedFilePathListLength;
};

TEST(LoadOption, RecordIsLaidOutByteForByte) {
  const RecordCase Cases[] = {
      {"no BVSRD", u"Unnamed", 0x40, false, 0, false, 0, 0x56, "56", 0x40},
      {"BVSRD as OptionalData, FAT", u"Unnamed", 0x40, true, 0x3C, false, 0x0000, 0x94, "94", 0x40},
      {"BVSRD as FilePathList[1], KFS", u"Unnamed", 0x40, true, 0x3C, true, 0x2000, 0x94, "94",
       0x7C},
      // Odd path sizes put FilePathList and the FS type code at odd offsets.
      {"odd offsets", u"U", 0x3F, true, 0x3C, true, 0x6000, 0x87, "87", 0x3F + 0x3C},
  };
  for (const RecordCase &Case : Cases) {
    SimFirmware Fw;
    SimPath Home = Pattern(Case.HomeSize, 0x10);
    SimPath Boot = Pattern(Case.BootSize, 0x80);
    DialogState State = {};
    std::u16string Description = Case.Description;
    std::copy(Description.begin(), Description.end(), State.Description);
    State.DescriptionSize = 2 * (Description.size() + 1);
    State.HomePath.Short = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Home.data());
    State.HomePath.ShortSize = Case.HomeSize;
    if (Case.BootVolume) {
      State.bootvolh = Fw.NewHandle();
      State.BootPath.Short = reinterpret_cast<EFI_DEVICE_PATH_PROTOCOL *>(Boot.data());
      State.BootPath.ShortSize = Case.BootSize;
      State.BvsrdAsFilePath = Case.AsFilePath;
      State.FsTypeCode = Case.FsTypeCode;
    }
    BOOLEAN Done = FALSE;
    Fw.Call([&] {
      SetRole(ATTR_NORMAL);
      Done = BuildLoadOption(&State);
    });
    ASSERT_TRUE(Done) << Case.Name;
    EXPECT_EQ(Fw.Screen(), std::string("{NORMAL}The Load Option size: {HIGHLIGHT}") +
                               Case.ShownSize + "{NORMAL} bytes (hexadecimal).\r\n")
        << Case.Name;

    SimPath Expected =
        RecordBytes(Case.ExpectedFilePathListLength, Description, Home, Boot, Case.FsTypeCode);
    EXPECT_EQ(State.LoadOptionSize, Case.ExpectedSize) << Case.Name;
    ASSERT_EQ(Expected.size(), Case.ExpectedSize) << Case.Name;
    EXPECT_EQ(SimPath(State.LoadOption, State.LoadOption + State.LoadOptionSize), Expected)
        << Case.Name;
  }
}
