// SPDX-License-Identifier: BSD-2-Clause-Patent
// Colours, numbers and report forms as the user sees them.
#include <gtest/gtest.h>

#include "common/firmware_context.h"
#include "console/colours.h"
#include "console/hex_digits.h"
#include "console/output.h"
#include "sim_firmware.h"

TEST(ConsoleOutput, HexValuesDropLeadingZerosButKeepOneDigit) {
  SimFirmware Fw;
  Fw.Call([] {
    SetRole(ATTR_NORMAL);
    PrintHexValue(0);
    Print(u"|");
    PrintHexValue(0x1F);
    Print(u"|");
    PrintHexValue(0xFFFFFFFFFFFFFFFFULL);
  });
  EXPECT_EQ(Fw.Screen(), "{NORMAL}0|1F|FFFFFFFFFFFFFFFF");
}

TEST(ConsoleOutput, StatusIsSixteenUppercaseDigitsAndLineBreakInOneCall) {
  SimFirmware Fw;
  Fw.Call([] {
    SetRole(ATTR_NORMAL);
    PrintStatus(EFI_NOT_FOUND);
    PrintStatus(EFI_SUCCESS);
  });
  EXPECT_EQ(Fw.Screen(), "{NORMAL}800000000000000E\r\n0000000000000000\r\n");
}

TEST(ConsoleOutput, ReportsKeepTheirColoursForMessageAndDigits) {
  SimFirmware Fw;
  Fw.Call([] {
    ReportError(u"E: locating DPTTP, S: ", EFI_NOT_FOUND);
    ReportListError(u"E: Failed to open Device Path protocol on a handle, S: ", EFI_UNSUPPORTED);
    ReportErrorText(u"E: no status here.\r\n");
  });
  EXPECT_EQ(Fw.Screen(), "{ERROR}E: locating DPTTP, S: 800000000000000E\r\n"
                         "{LIST_ERROR}E: Failed to open Device Path protocol on a handle, S: "
                         "{NORMAL}8000000000000003\r\n"
                         "{ERROR}E: no status here.\r\n");
}

TEST(ConsoleOutput, RolesKeepTheHighBitsOfTheSavedAttribute) {
  SimFirmware Fw(0x8F);
  Fw.Call([] {
    SetRole(ATTR_ERROR);
    Print(u"x");
    SetRole(ATTR_BANNER);
    Print(u"y");
    RestoreSavedAttribute();
  });
  ASSERT_EQ(Fw.Transcript.size(), 2u);
  EXPECT_EQ(Fw.Transcript[0].Attribute, 0x8Cu);
  EXPECT_EQ(Fw.Transcript[1].Attribute, 0xB0u);
  EXPECT_EQ(Fw.Mode.Attribute, 0x8F);
}

TEST(HexDigits, WritesFixedWidthUppercaseWithoutTerminator) {
  CHAR16 Buffer[6] = {u'.', u'.', u'.', u'.', u'.', u'.'};
  WriteHexDigits(0x1A, Buffer, 2);
  EXPECT_EQ(std::u16string(Buffer, 6), u"001A..");
  WriteHexDigits(0xABCDEF, Buffer, 0);
  EXPECT_EQ(std::u16string(Buffer, 6), u"001A..");
  WriteHexDigits(0xfedcba9876543210ULL, Buffer, 1);
  EXPECT_EQ(std::u16string(Buffer, 6), u"101A..");
}
