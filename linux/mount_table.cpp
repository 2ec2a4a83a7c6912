#include "linux/mount_table.h"

#include <fstream>
#include <sstream>

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
  std::ifstream In(File);
  std::string Line;
  while (std::getline(In, Line)) {
    std::istringstream Fields(Line);
    std::string Id, Parent, Field, SuperOptions, Source;
    MountEntry Entry;
    Fields >> Id >> Parent >> Entry.Numbers >> Entry.Root >> Entry.MountPoint >> Entry.Options;
    while (Fields >> Field && Field != "-") {
    }  // optional fields up to the separator
    Fields >> Entry.Type >> Source >> SuperOptions;
    if (!Fields) continue;  // a line cut short says nothing reliable
    Entry.Root = Unescaped(Entry.Root);
    Entry.MountPoint = Unescaped(Entry.MountPoint);
    Entry.Options += "," + SuperOptions;
    Table.push_back(Entry);
  }
  return Table;
}

bool MountedReadOnly(const MountEntry &Mount) {
  return ("," + Mount.Options + ",").find(",ro,") != std::string::npos;
}
