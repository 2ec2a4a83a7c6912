// SPDX-License-Identifier: BSD-2-Clause-Patent
#include "linux/file_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

int ReadToEnd(int Fd, std::string *Bytes) {
  char Chunk[4096];
  for (;;) {
    ssize_t Got = read(Fd, Chunk, sizeof Chunk);
    if (Got < 0 && errno == EINTR) continue;
    if (Got < 0) return errno;
    if (Got == 0) return 0;
    Bytes->append(Chunk, (size_t)Got);
  }
}

std::string FileText(const std::string &Path) {
  std::string Text;
  int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0) return Text;
  ReadToEnd(Fd, &Text);
  close(Fd);
  return Text;
}

std::vector<std::string> Pieces(const std::string &Text, char Separator) {
  std::vector<std::string> Out;
  size_t Start = 0;
  while (Start <= Text.size()) {
    size_t End = Text.find(Separator, Start);
    if (End == std::string::npos) End = Text.size();
    if (End > Start) Out.push_back(Text.substr(Start, End - Start));
    Start = End + 1;
  }
  return Out;
}
