// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/run_report.h"

#include <cstdio>
#include <cstring>

#include "linux/utf8.h"
#include "loadoption/load_option_reader.h"

#define HARD_DRIVE_NODE_BYTES 42

// A character past U+FFFF, from a surrogate pair: four bytes.
static std::string Utf8OfPair(UINT32 Code) {
  std::string Bytes;
  Bytes += (char)(0xF0 | Code >> 18);
  Bytes += (char)(0x80 | (Code >> 12 & 0x3F));
  Bytes += (char)(0x80 | (Code >> 6 & 0x3F));
  Bytes += (char)(0x80 | (Code & 0x3F));
  return Bytes;
}

static std::string Escaped(UINT32 Code) {
  char Text[8];
  std::snprintf(Text, sizeof Text, "\\u%04x", (unsigned)Code);
  return Text;
}

static bool IsHigh(char16_t C) { return C >= 0xD800 && C <= 0xDBFF; }
static bool IsLow(char16_t C) { return C >= 0xDC00 && C <= 0xDFFF; }

std::string JsonString(const std::u16string &Text) {
  std::string Json = "\"";
  for (size_t I = 0; I < Text.size(); I++) {
    char16_t C = Text[I];
    if (C == u'"' || C == u'\\') {
      Json += '\\';
      Json += (char)C;
    } else if (C == u'\n') {
      Json += "\\n";
    } else if (C == u'\r') {
      Json += "\\r";
    } else if (C == u'\t') {
      Json += "\\t";
    } else if (C < 0x20 || (C >= 0x7F && C <= 0x9F)) {
      // C1 controls too: a terminal that shows the output would act on them.
      Json += Escaped(C);
    } else if (IsHigh(C) && I + 1 < Text.size() && IsLow(Text[I + 1])) {
      Json += Utf8OfPair(0x10000 + ((UINT32)(C - 0xD800) << 10) + (Text[I + 1] - 0xDC00));
      I++;
    } else if (IsHigh(C) || IsLow(C)) {
      Json += Escaped(C);  // UTF-8 cannot carry it; JSON's escape can
    } else {
      AppendUtf8(&Json, C);
    }
  }
  return Json + "\"";
}

static std::string Hex(const UINT8 *Bytes, UINTN Size) {
  std::string Text;
  for (UINTN I = 0; I < Size; I++) {
    char Pair[3];
    std::snprintf(Pair, sizeof Pair, "%02x", Bytes[I]);
    Text += Pair;
  }
  return Text;
}

static UINT64 Little(const UINT8 *Bytes, int Count) {
  UINT64 Value = 0;
  for (int I = Count - 1; I >= 0; I--) Value = Value << 8 | Bytes[I];
  return Value;
}

static std::u16string Wide(const char *Text) {
  return std::u16string(Text, Text + std::strlen(Text));
}

static std::u16string HardDriveText(const UINT8 *Node) {
  char Text[128];
  const UINT8 *S = Node + 24;
  unsigned Number = (unsigned)Little(Node + 4, 4);
  unsigned long long Start = Little(Node + 8, 8);
  unsigned long long Size = Little(Node + 16, 8);
  if (Node[41] == 2) {
    std::snprintf(Text, sizeof Text,
                  "HD(%u,GPT,%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X,0x%llX,0x%llX)",
                  Number, (unsigned)Little(S, 4), (unsigned)Little(S + 4, 2),
                  (unsigned)Little(S + 6, 2), S[8], S[9], S[10], S[11], S[12], S[13], S[14], S[15],
                  Start, Size);
  } else {
    std::snprintf(Text, sizeof Text, "HD(%u,MBR,0x%08X,0x%llX,0x%llX)", Number,
                  (unsigned)Little(S, 4), Start, Size);
  }
  return Wide(Text);
}

static std::u16string NodeText(const UINT8 *Node, UINTN Length) {
  if (Node[0] == MEDIA_DEVICE_PATH && Node[1] == MEDIA_HARDDRIVE_DP &&
      Length == HARD_DRIVE_NODE_BYTES && (Node[41] == 1 || Node[41] == 2)) {
    return HardDriveText(Node);
  }
  if (Node[0] == MEDIA_DEVICE_PATH && Node[1] == MEDIA_FILEPATH_DP) {
    std::u16string Name;
    for (UINTN At = 4; At + 1 < Length && (Node[At] != 0 || Node[At + 1] != 0); At += 2) {
      Name += (char16_t)(Node[At] | Node[At + 1] << 8);
    }
    return Name;
  }
  char Head[32];
  std::snprintf(Head, sizeof Head, "Path(%u,%u,", Node[0], Node[1]);
  return Wide(Head) + Wide(Hex(Node + 4, Length - 4).c_str()) + u")";
}

std::vector<std::u16string> DevicePathTexts(const UINT8 *Paths, UINTN Size) {
  std::vector<std::u16string> Texts;
  std::u16string Text;
  UINTN At = 0;
  while (Size - At >= 4) {
    const UINT8 *Node = Paths + At;
    UINTN Length = Node[2] | (UINTN)Node[3] << 8;
    if (Length < 4 || Length > Size - At) break;  // no further node can be trusted
    At += Length;
    if (Node[0] == END_DEVICE_PATH_TYPE) {
      if (Node[1] == END_ENTIRE_DEVICE_PATH_SUBTYPE) {
        Texts.push_back(Text);
        Text.clear();
      } else {
        Text += u",";
      }
      continue;
    }
    if (!Text.empty() && Text.back() != u',') Text += u"/";
    Text += NodeText(Node, Length);
  }
  if (!Text.empty()) Texts.push_back(Text);
  return Texts;
}

static std::string NumberText(UINT16 Number) {
  char Text[8];
  std::snprintf(Text, sizeof Text, "\"%04X\"", Number);
  return Text;
}

static std::string RecordFields(const std::vector<UINT8> &Record) {
  LoadOptionParts Parts;
  if (Record.empty() || !SplitLoadOption(Record.data(), Record.size(), &Parts)) {
    return "\"label\": null, \"device_paths\": [], \"optional_data\": null, \"load_option\": null";
  }
  std::u16string Label;
  for (const CHAR16 *C = Parts.Description; *C != 0; C++) Label += (char16_t)*C;
  std::string Json = "\"label\": " + JsonString(Label) + ", \"device_paths\": [";
  std::vector<std::u16string> Texts = DevicePathTexts(Parts.PathsAndData, Parts.FilePathListLength);
  for (size_t I = 0; I < Texts.size(); I++) Json += (I ? ", " : "") + JsonString(Texts[I]);
  const UINT8 *Data = Parts.PathsAndData + Parts.FilePathListLength;
  Json += "], \"optional_data\": \"" + Hex(Data, Parts.PathsAndDataSize - Parts.FilePathListLength);
  return Json + "\", \"load_option\": \"" + Hex(Record.data(), Record.size()) + "\"";
}

std::string RunReportJson(const RunReport &Report) {
  std::string Json = std::string("{\"result\": \"") + Report.Result + "\", ";
  if (Report.HasNumber) {
    Json += "\"variable\": \"Boot" + NumberText(Report.Number).substr(1) +
            ", \"number\": " + std::to_string(Report.Number) + ", ";
  } else {
    Json += "\"variable\": null, \"number\": null, ";
  }
  Json += RecordFields(Report.LoadOption) + ", \"boot_order\": [";
  for (size_t I = 0; I < Report.BootOrder.size(); I++) {
    Json += (I ? ", " : "") + NumberText(Report.BootOrder[I]);
  }
  Json += "], \"boot_next\": ";
  Json += Report.HasNumber && Report.BootNext ? NumberText(Report.Number) : "null";
  return Json + ", \"message\": " + JsonString(Report.Message) + "}";
}
