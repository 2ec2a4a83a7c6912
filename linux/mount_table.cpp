// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/mount_table.h"

#include "linux/file_text.h"

static bool IsOctal(const std::string &Field, size_t At) {
  for (size_t I = At; I < At + 3; I++) {
    if (Field[I] < '0' || Field[I] > '7') return false;
  }
  return true;
}

// Spaces, tabs, newlines and backslashes in a path are written as \ooo.
static std::string Unescaped(const std::string &Field) {
  std::string Out;
  for (size_t I = 0; I < Field.size(); I++) {
    if (Field[I] == '\\' && I + 3 < Field.size() && IsOctal(Field, I + 1)) {
      Out.push_back((char)std::stoi(Field.substr(I + 1, 3), nullptr, 8));
      I += 3;
    } else {
      Out.push_back(Field[I]);
    }
  }
  return Out;
}

std::vector<MountEntry> ReadMountTable(const std::string &File) {
  std::vector<MountEntry> Table;
  for (const std::string &Line : Pieces(FileText(File), '\n')) {
    std::vector<std::string> Fields = Pieces(Line, ' ');
    size_t Separator = 6;  // after the optional fields, a lone "-"
    while (Separator < Fields.size() && Fields[Separator] != "-") Separator++;
    if (Separator + 3 >= Fields.size()) continue;  // a line cut short says nothing reliable
    MountEntry Entry;
    Entry.Numbers = Fields[2];
    Entry.Root = Unescaped(Fields[3]);
    Entry.MountPoint = Unescaped(Fields[4]);
    Entry.Options = Fields[5] + "," + Fields[Separator + 3];
    Entry.Type = Fields[Separator + 1];
    Table.push_back(Entry);
  }
  return Table;
}

bool MountedReadOnly(const MountEntry &Mount) {
  return ("," + Mount.Options + ",").find(",ro,") != std::string::npos;
}
