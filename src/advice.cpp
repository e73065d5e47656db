// SPDX-License-Identifier: MIT
#include "advice.h"

#include <cstring>

namespace {

// Writes within out[0, size) and counts all it was asked to write.
struct writer {
  char* out;
  std::size_t size;
  std::size_t n;
  void text(const char* t, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i, ++n) {
      if (n < size) out[n] = t[i];
    }
  }
  void text(const char* t) { text(t, std::strlen(t)); }
  // A name as one shell word.
  void word(const char* name, std::size_t length) {
    n += shellword(name, length, n < size ? out + n : out, n < size ? size - n : 0);
  }
  // An argument as one shell word: leading dashes as they are, where a
  // path would get ./ before them, since this program takes no options.
  void argument(const char* name, std::size_t length) {
    std::size_t dashes = 0;
    while (dashes < length && name[dashes] == '-') ++dashes;
    text(name, dashes);
    if (dashes == 0 || dashes < length) word(name + dashes, length - dashes);
  }
  // A command with each '@' replaced by the name as a shell word.
  // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a template, then what fills it
  void command(const char* t, const char* name, std::size_t length) {
    for (const char* at = std::strchr(t, '@'); at != nullptr; at = std::strchr(t, '@')) {
      text(t, static_cast<std::size_t>(at - t));
      word(name, length);
      t = at + 1;
    }
    text(t);
  }
};

// The text file's name beside path: without the format's suffix, and with
// the text's (.txt where the format has none) where the name has none of
// the format's suffixes: d/.gz becomes d/.gz.txt, not a name in the
// folder d/.
std::size_t textname(const fileformat& format, const char* path, std::size_t length, char* out) {
  std::size_t suffix = suffixof(format, path, length);
  std::size_t keep = length - suffix;
  const char* add = suffix > 0 || format.text[0] != '\0' ? format.text : ".txt";
  std::memcpy(out, path, keep);
  std::strcpy(out + keep, add);
  return keep + std::strlen(add);
}

// An argument as its field holds it: at most its first 500 bytes.
std::size_t fieldlength(const char* argument) {
  std::size_t n = argument != nullptr ? std::strlen(argument) : 0;
  return n < fieldsize ? n : fieldsize;
}

// The bash command line for a named file, a tool writing its text.
void commandline(writer* w, const fileformat& format, const char* path, std::size_t length,
                 const advisedrun& run) {
  char text[fieldsize + textendingsize];
  std::size_t textlength = textname(format, path, length, text);
  w->text("run: (set -C; ");
  if (format.list != nullptr) {
    // A listing cut short by a cut or corrupt archive counts no file in it.
    w->text("list=$(");
    w->command(format.list, path, length);
    w->text(") || { echo >&2 ");
    w->word(path, length);
    w->text(" is cut short or corrupt; exit 1; }; [ \"$(printf '%s\\n' \"$list\" | ");
    w->text(format.files);
    w->text(")\" = 1 ] || { echo >&2 ");
    w->word(path, length);
    w->text(" does not hold exactly one file; exit 1; }; ");
  }
  w->text("exec >");
  w->word(text, textlength);
  w->text(" || exit; ");
  w->text(format.tool);
  w->text(" ");
  w->word(path, length);
  w->text(" || { rm -f ");
  w->word(text, textlength);
  w->text("; exit 1; }) && ");
  std::size_t name = run.program != nullptr ? std::strlen(run.program) : 0;
  if (name > 0 && name <= fieldsize) {
    w->word(run.program, name);
  } else {
    w->text("varnholt");
  }
  w->text(" ");
  w->word(text, textlength);
  w->text(" ");
  w->argument(run.pattern != nullptr ? run.pattern : "", fieldlength(run.pattern));
  w->text(" ");
  w->argument(run.npos != nullptr ? run.npos : "", fieldlength(run.npos));
}

}  // namespace

std::size_t advise(const fileformat& format, const char* path, std::size_t length,
                   const advisedrun& run,
                   char* out,  // NOLINT(readability-non-const-parameter): written through w
                   std::size_t size) {
  writer w{out, size, 0};
  if (format.tool == nullptr) {
    w.text(format.how);
  } else if (path != nullptr) {
    commandline(&w, format, path, length < fieldsize ? length : fieldsize, run);
  } else if (format.list != nullptr) {
    w.text("name the archive itself: its tool reads no pipe");
  } else {
    w.text("put ");
    w.text(format.tool);
    w.text(" between what writes it and varnholt, under set -o pipefail");
  }
  return w.n;
}
