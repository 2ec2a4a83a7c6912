#include "session.h"

#include <gtest/gtest.h>

static const SimPath EspPath = PciRootNode(0) + PciNode(1, 0) + HardDriveNode(1, 0x800, 0x32000);
static const char *EspText = "PciRoot(0x0)/Pci(0x1,0x0)/HD(1,GPT,A1A2A3A4-0000,0x800,0x32000)";
static const char *DataText = "PciRoot(0x0)/Pci(0x1,0x0)/HD(2,GPT,A2A3A4A5-0000,0x32800,0x10000)";
const char16_t *LoaderPath = u"\\EFI\\BOOT\\BOOTAA64.EFI";
const char *ClosingPrompt =
    "{NORMAL}Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n";

static std::u16string Wide(const char *Text) { return std::u16string(Text, Text + strlen(Text)); }

TypicalMachine AddTypicalMachine(SimFirmware &Fw) {
  TypicalMachine Machine;
  Machine.Esp = AddVolume(Fw, EspPath + EndNode(), Wide(EspText), {LoaderPath});
  Machine.Data =
      AddVolume(Fw, PciRootNode(0) + PciNode(1, 0) + HardDriveNode(2, 0x32800, 0x10000) + EndNode(),
                Wide(DataText));
  return Machine;
}

std::string PickHomeVolume(const std::string &Index) { return Index + "\rn"; }

std::string TypicalSession(const std::string &Index, const std::string &Description,
                           const std::string &Loader) {
  return PickHomeVolume(Index) + Description + "\r" + Loader + "\r";
}

std::string KeysAfterRecord() { return "n"; }

void RunToClosingPrompt(SimFirmware &Fw) {
  Fw.Type("x");
  EXPECT_EQ(Fw.Run(), SimEnding::Exit);
  EXPECT_EQ(Fw.ExitStatus, EFI_SUCCESS);
  EXPECT_EQ(Fw.NextKey, Fw.Keys.size()) << "keys left unread";
  EXPECT_EQ(Fw.LiveBuffers(), 0u);
  EXPECT_TRUE(Fw.PoolErrors.empty()) << Fw.PoolErrors.front();
  EXPECT_EQ(OpenFileCount(Fw), 0u);
  // The prompt may continue a run that is already in ATTR_NORMAL.
  std::u16string Prompt =
      u"Press <s> to shutdown or anything else (exc. <Enter>) to exit this app.\r\n";
  ASSERT_FALSE(Fw.Transcript.empty());
  const ColourRun &Last = Fw.Transcript.back();
  EXPECT_EQ(Last.Attribute & 0x7F, 0x03u);
  ASSERT_GE(Last.Text.size(), Prompt.size());
  EXPECT_EQ(Last.Text.substr(Last.Text.size() - Prompt.size()), Prompt);
}
