// The whole dialogue through the entry point: the record that the earlier
// steps build is what lands in the new Boot####.
#include "last_steps.h"
#include "session.h"

static std::string AfterRecordSize(const std::string &Screen) {
  const std::string Marker = " bytes (hexadecimal).\r\n";
  size_t At = Screen.find(Marker);
  return At == std::string::npos ? Screen : Screen.substr(At + Marker.size());
}

// Attributes, FilePathListLength, the typed description "Mine", and the
// loader's short form on the ESP of the typical machine.
static std::vector<UINT8> TypicalRecord() {
  SimPath Short = HardDriveNode(1, 0x800, 0x32000) + FilePathNode(LoaderPath) + EndNode();
  SimPath Record = {0x01, 0x00, 0x00, 0x00, (UINT8)Short.size(), (UINT8)(Short.size() >> 8)};
  for (char16_t C : std::u16string(u"Mine", 5)) Record = Record + SimPath{(UINT8)C, 0x00};
  return Record + Short;
}

TEST(WholeDialogue, TypicalRunAddsTheEntryAfterTheFirmwaresOwn) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  SimVariableStore &Vars = VariablesOf(Fw);
  Vars.Put(u"BootOrder", 7, OptionNumberBytes({0, 1, 2}));
  for (UINT16 N : {0, 1, 2}) Vars.Put(OptionName(N), 7, {(UINT8)(0xB0 + N)});
  SimVariableMap Expected = Vars.Entries;
  Fw.Type(TypicalSession("0", "Mine") + "y");

  RunToClosingPrompt(Fw);
  EXPECT_EQ(AfterRecordSize(Fw.Screen()), Announcement("Boot0003") + SuccessLine + ClosingText);
  std::string Global((const char *)&EFI_GLOBAL_VARIABLE_GUID, sizeof(EFI_GUID));
  Expected[{u"Boot0003", Global}] = {7, TypicalRecord()};
  Expected[{u"BootOrder", Global}] = {7, OptionNumberBytes({0, 1, 2, 3})};
  EXPECT_TRUE(Vars.Entries == Expected);
}

TEST(WholeDialogue, RefusalOnAnEmptyStoreWritesNothing) {
  SimFirmware Fw;
  AddTypicalMachine(Fw);
  Fw.Type(TypicalSession() + "n");

  RunToClosingPrompt(Fw);
  EXPECT_EQ(AfterRecordSize(Fw.Screen()),
            NeedToCreate + Announcement("Boot0000") + AbortReport + ClosingText);
  EXPECT_TRUE(VariablesOf(Fw).Entries.empty());
  EXPECT_TRUE(VariablesOf(Fw).Writes.empty());
}
