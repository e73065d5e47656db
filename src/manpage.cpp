// SPDX-License-Identifier: MIT
// varnholt_manpage SOURCE PAGE
//
// Writes the manual page from its source, with the rows of the table of
// formats made from formats[] where the source marks them. Run by the
// build; not installed.
#include <cstdio>
#include <cstring>

#include "format.h"
#include "formattable.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    (void)std::fputs("usage: varnholt_manpage SOURCE PAGE\n", stderr);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "r");
  std::FILE* out = in != nullptr ? std::fopen(argv[2], "w") : nullptr;
  if (out == nullptr) {
    std::perror(in == nullptr ? argv[1] : argv[2]);
    if (in != nullptr) (void)std::fclose(in);
    return 1;
  }
  char line[4096];
  int rows = 0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (std::strcmp(line, formattablemark) != 0) {
      (void)std::fputs(line, out);
      continue;
    }
    for (std::size_t i = 0; i < formatcount; ++i) {
      if (i > 0) (void)std::fputs(".sp\n", out);
      writeformatrow(formats[i], out);
    }
    ++rows;
  }
  // Each stream's error flag holds whether any of its reads or writes failed.
  bool unread = std::ferror(in) != 0;
  bool unwritten = std::ferror(out) != 0;
  (void)std::fclose(in);
  unwritten = std::fclose(out) != 0 || unwritten;
  if (unread) (void)std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
  if (unwritten) (void)std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
  if (rows != 1)
    (void)std::fprintf(stderr, "%s: %d marks for the table of formats, not 1\n", argv[1], rows);
  return unread || unwritten || rows != 1 ? 1 : 0;
}
