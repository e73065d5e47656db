// SPDX-License-Identifier: MIT
#include "path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <iterator>
#include <string_view>

#include "report.h"

namespace {

// Names the genotype file for diagnostics by what is at its path, as st
// (valid where found) tells.
void namegenotype(genotypepath* g, const struct stat& st, bool found) {
  if (g->stdinput) {
    std::strcpy(g->noun, "standard input");
    return;
  }
  const char* kind = "genotype file ";
  if (found && S_ISFIFO(st.st_mode)) kind = "FIFO ";
  if (found && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) kind = "device ";
  g->socket = found && S_ISSOCK(st.st_mode);
  if (g->socket) kind = "socket ";
  std::strcpy(g->noun, kind);
  std::size_t at = std::strlen(kind);
  std::size_t shown = quotename(g->path, g->length, g->noun + at, sizeof g->noun - at - 1);
  g->noun[at + shown] = '\0';
}

// A path that names what this run alone can read: a pipe or FIFO, drained
// by the count, or a descriptor of this process (/dev/fd/N, /proc/PID/fd/N,
// /dev/stdin), gone once it ends. Advice cannot read it again by its name.
bool readonce(const genotypepath& g, const struct stat& st, bool found) {
  if (g.stdinput || (found && S_ISFIFO(st.st_mode))) return true;
  std::string_view path(g.path, g.length);
  if (path.starts_with("/dev/fd/") || path == "/dev/stdin") return true;
  if (!path.starts_with("/proc/")) return false;
  std::size_t slash = path.find('/', 6);
  if (slash == std::string_view::npos) return false;
  path.remove_prefix(slash);
  return path.starts_with("/fd/");
}

// Which of standard output and standard error the file is: either as the
// same regular file, or as the same pipe or FIFO.
unsigned ownedby(const struct stat& in) {
  if (!S_ISFIFO(in.st_mode) && !S_ISREG(in.st_mode)) return 0;
  unsigned own = 0;
  for (int fd : {tostdout, tostderr}) {
    struct stat out {};
    if (fstat(fd, &out) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
      own |= fd == tostdout ? ownreport : ownmessages;
  }
  return own;
}

// Whether this user may make a file in the folder.
bool writable(const char* folder) {
  return access(folder, W_OK | X_OK) == 0;
}

// The folder of path[0, length) in out, "." where it names none.
void folderof(const char* path, std::size_t length, char (&out)[fieldsize + 1]) {
  std::size_t slash = basestart(path, length);
  if (slash == 0) {
    std::strcpy(out, ".");
    return;
  }
  std::size_t keep = slash > 1 ? slash - 1 : 1;  // "/" stays
  std::memcpy(out, path, keep);
  out[keep] = '\0';
}

// The first of base.samples, base.samples2, ... base.samples9 that no
// file in the folder starts with (then a dot): 1 to 9; 0 where all are
// taken or the folder cannot be read.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a folder, then the base's bytes
int freeprefix(const char* folder, const char* base, std::size_t length) {
  DIR* d = opendir(folder);
  if (d == nullptr) return 0;
  bool taken[samplesprefixes + 1] = {};
  constexpr std::string_view samples = ".samples";
  for (const dirent* e = readdir(d); e != nullptr; e = readdir(d)) {
    std::string_view entry(e->d_name);
    if (!entry.starts_with(std::string_view(base, length))) continue;
    entry.remove_prefix(length);
    if (!entry.starts_with(samples)) continue;
    entry.remove_prefix(samples.size());
    if (entry.starts_with('.')) taken[1] = true;
    if (entry.size() >= 2 && entry[0] >= '2' && entry[0] <= '9' && entry[1] == '.')
      taken[entry[0] - '0'] = true;
  }
  closedir(d);
  for (int n = 1; n <= samplesprefixes; ++n) {
    if (!taken[n]) return n;
  }
  return 0;
}

// Which of a PLINK fileset's files are beside its file, fileset[0, length)
// the file's name without its ending.
unsigned plinkfiles(const char* fileset, std::size_t length) {
  unsigned files = 0;
  char companion[fieldsize + 16];
  std::memcpy(companion, fileset, length);
  for (unsigned bit = 0; bit < std::size(plinkendings); ++bit) {
    std::strcpy(companion + length, plinkendings[bit]);
    struct stat st {};
    if (stat(companion, &st) == 0 && S_ISREG(st.st_mode)) files |= 1u << bit;
  }
  return files;
}

}  // namespace

void lookatpath(const char* argument, char (&field)[fieldsize], genotypepath* g) {
  g->toolong = setfield(field, argument) != 0;
  g->length = trimmedlength(field, fieldsize);
  std::memcpy(g->path, field, g->length);
  g->path[g->length] = '\0';
  g->stdinput = std::strcmp(g->path, "-") == 0;
  struct stat in {};
  bool found = (g->stdinput ? fstat(0, &in) : stat(g->path, &in)) == 0;
  namegenotype(g, in, found);
  g->regular = found && S_ISREG(in.st_mode);
  g->stream = readonce(*g, in, found);
  g->owned = found && !g->toolong && g->length > 0 ? ownedby(in) : 0;
}

void lookforadvice(const genotypepath& g, const fileformat& format, adviceplace* place) {
  *place = {};
  if (g.stream) return;
  char folder[fieldsize + 1];
  folderof(g.path, g.length, folder);
  place->besidewritable = writable(folder);
  place->herewritable = writable(".");
  std::size_t fileset = format.fileset != nullptr ? filesetlength(format, g.path, g.length) : 0;
  if (fileset == 0) return;
  place->plinkfiles = plinkfiles(g.path, fileset);
  std::size_t base = basestart(g.path, fileset);
  place->samplesbeside = freeprefix(folder, g.path + base, fileset - base);
  place->sampleshere = freeprefix(".", g.path + base, fileset - base);
}
