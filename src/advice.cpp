// SPDX-License-Identifier: MIT
#include "advice.h"

#include <bit>
#include <cstring>

namespace at = advicetext;

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
  void text(std::string_view t) { text(t.data(), t.size()); }
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
    for (const char* a = std::strchr(t, '@'); a != nullptr; a = std::strchr(t, '@')) {
      text(t, static_cast<std::size_t>(a - t));
      word(name, length);
      t = a + 1;
    }
    text(t);
  }
};

// A name and its length, as the advice takes them.
struct name {
  const char* bytes;
  std::size_t length;
};

// An argument as its field holds it: at most its first 500 bytes.
std::size_t fieldlength(const char* argument) {
  std::size_t n = argument != nullptr ? std::strlen(argument) : 0;
  return n < fieldsize ? n : fieldsize;
}

// The name with an ending after it, in out; its length.
std::size_t joined(const name& stem, std::string_view ending, char* out) {
  std::memcpy(out, stem.bytes, stem.length);
  std::memcpy(out + stem.length, ending.data(), ending.size());
  return stem.length + ending.size();
}

// A name the pasted run can make and the program open: within its field,
// and its last component within what a file system takes.
bool fits(const char* path, std::size_t length) {
  return length <= fieldsize && length - basestart(path, length) <= componentsize;
}

// Checks that a tool's program can be run, before anything is written.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the command, then its package
void check(writer* w, const char* tool, const char* package) {
  std::size_t program = std::strcspn(tool, " ");
  w->text(at::checkstart);
  w->text(tool, program);
  w->text(at::checkmiddle);
  w->text(tool, program);
  w->text(at::checkwhy);
  w->text(package);
  w->text(at::orfail);
}

// The checks of every program the format's tool runs: for a compressed
// tar, tar runs its compressor's too.
void checks(writer* w, const fileformat& format) {
  check(w, format.tool, format.package);
  const fileformat* holder = format.within != nullptr ? formatkeyed(format.within) : nullptr;
  if (format.list != nullptr && holder != nullptr && holder->tool != nullptr)
    check(w, holder->tool, holder->package);
}

// An archive of one file only: its listing, cut short by a cut or corrupt
// archive, counts no file in it.
void onefile(writer* w, const fileformat& format, const name& file) {
  w->text(at::liststart);
  w->command(format.list, file.bytes, file.length);
  w->text(at::listfailed);
  w->word(file.bytes, file.length);
  w->text(at::cut);
  w->text(at::orfail);
  w->text(at::countfiles);
  w->text(format.files);
  w->text(at::onefile);
  w->word(file.bytes, file.length);
  w->text(at::notone);
  w->text(at::orfail);
}

// The program as it was started, and the run it repeats on the text.
void rerun(writer* w, const advisedrun& run, const name* text) {
  std::size_t program = run.program != nullptr ? std::strlen(run.program) : 0;
  if (program > 0 && program <= fieldsize) {
    w->word(run.program, program);
  } else {
    w->text("varnholt");
  }
  if (text != nullptr) {
    w->text(" ");
    w->word(text->bytes, text->length);
    w->text(" ");
  } else {
    w->text(at::standardinput);
  }
  w->argument(run.pattern != nullptr ? run.pattern : "", fieldlength(run.pattern));
  w->text(" ");
  w->argument(run.npos != nullptr ? run.npos : "", fieldlength(run.npos));
}

void because(writer* w, std::string_view why) {
  if (why.empty()) return;
  w->text(at::comment);
  w->text(why);
}

// The bash command line for a named file, a tool writing its text into the
// text file, or, where text is nullptr, into the program through a pipe.
void commandline(writer* w, const fileformat& format, const name& file, const name* text,
                 const advisedrun& run, std::string_view why) {
  w->text(at::run);
  w->text(text != nullptr ? at::noclobber : at::pipefail);
  checks(w, format);
  if (format.list != nullptr) onefile(w, format, file);
  if (text != nullptr) {
    w->text(at::into);
    w->word(text->bytes, text->length);
    w->text(at::orexit);
  }
  w->text(format.tool);
  w->text(" ");
  w->word(file.bytes, file.length);
  if (text != nullptr) {
    w->text(at::orremove);
    w->word(text->bytes, text->length);
    w->text(at::removed);
  } else {
    w->text(at::intoprogram);
  }
  rerun(w, run, text);
  if (text == nullptr) w->text(at::pipeend);
  because(w, why);
}

// A PLINK file's fileset, by the files beside it: its flag, or empty
// where it lacks some.
std::string_view plinkflag(const fileformat& format, unsigned files) {
  if (std::strcmp(format.fileset, ".bed") == 0)
    return (files & (plinkbim | plinkfam)) == (plinkbim | plinkfam) ? at::plinkbfile : "";
  if ((files & plinkpsam) != 0 && (files & (plinkpvar | plinkpvarzst)) != 0) return at::plinkpfile;
  return (files & (plinkbim | plinkfam)) == (plinkbim | plinkfam) ? at::plinkbpfile : "";
}

// The files a PLINK file's fileset lacks, as words.
void missing(writer* w, const fileformat& format, const name& fileset, unsigned files) {
  bool bed = std::strcmp(format.fileset, ".bed") == 0;
  unsigned needed[2] = {bed ? plinkbim : plinkpvar, bed ? plinkfam : plinkpsam};
  unsigned alternative[2] = {bed ? 0u : plinkpvarzst, 0u};
  w->text(at::plinkmissing);
  bool first = true;
  for (int i = 0; i < 2; ++i) {
    if ((files & (needed[i] | alternative[i])) != 0) continue;
    if (!first) w->text(at::plinkand);
    first = false;
    char companion[fieldsize + textendingsize];
    w->word(companion, joined(fileset, plinkendings[std::countr_zero(needed[i])], companion));
  }
}

// The PLINK command line that writes the samples of fileset X as P.ped.
void plinkline(writer* w, const fileformat& format, const name& fileset, const name& prefix,
               unsigned files, const advisedrun& run, std::string_view why) {
  std::string_view flag = plinkflag(format, files);
  w->text(at::run);
  check(w, format.plink, format.package);
  w->text(at::plinkguard);
  w->word(prefix.bytes, prefix.length);
  w->text(at::plinkeach);
  w->word(prefix.bytes, prefix.length);
  w->text(at::plinkexists);
  w->text(format.plink);
  w->text(flag);
  w->word(fileset.bytes, fileset.length);
  if (flag == at::plinkpfile && (files & plinkpvar) == 0) w->text(at::plinkvzs);
  w->text(flag == at::plinkbfile ? at::plinkrecode : at::plinkexport);
  w->word(prefix.bytes, prefix.length);
  w->text(at::plinklog);
  w->word(prefix.bytes, prefix.length);
  w->text(at::plinkwritten);
  char ped[fieldsize + textendingsize];
  name text{ped, joined(prefix, at::plinkped, ped)};
  rerun(w, run, &text);
  w->text(at::comment);
  w->text(at::counts);
  w->word(text.bytes, text.length);
  bool psam = flag == at::plinkpfile;
  w->text(psam ? at::samplespsam : at::samplesfam);
  char samples[fieldsize + textendingsize];
  w->word(samples, joined(fileset, psam ? ".psam" : ".fam", samples));
  if (!why.empty()) {
    w->text(at::besides);
    w->text(why);
  }
}

// X.samples, or X.samples2 to X.samples9, in out; its length.
std::size_t samplesprefix(name fileset, int n, char* out) {
  std::size_t end = joined(fileset, ".samples", out);
  if (n > 1) out[end++] = static_cast<char>('0' + n);
  return end;
}

// The advice for a PLINK file: a command where its fileset is beside it
// and a folder can take its text, else the words, saying what is missing.
void plinkadvice(writer* w, const fileformat& format, const name& file, const advisedrun& run,
                 const adviceplace& place) {
  name fileset{file.bytes, filesetlength(format, file.bytes, file.length)};
  if (fileset.length == 0) {
    w->text(format.how);
    return;
  }
  if (plinkflag(format, place.plinkfiles).empty()) {
    w->text(format.how);
    missing(w, format, fileset, place.plinkfiles);
    return;
  }
  constexpr std::size_t longest = 6;  // ".nosex", the longest ending PLINK writes
  char beside[fieldsize + textendingsize];
  std::size_t n = samplesprefix(fileset, place.samplesbeside, beside);
  if (place.besidewritable && place.samplesbeside > 0 && fits(beside, n + longest)) {
    plinkline(w, format, fileset, {beside, n}, place.plinkfiles, run, "");
    return;
  }
  std::size_t base = basestart(fileset.bytes, fileset.length);
  char here[fieldsize + textendingsize];
  n = samplesprefix({fileset.bytes + base, fileset.length - base}, place.sampleshere, here);
  if (place.herewritable && place.sampleshere > 0 && fits(here, n + longest)) {
    plinkline(w, format, fileset, {here, n}, place.plinkfiles, run,
              place.besidewritable ? at::herelong : at::herefolder);
    return;
  }
  w->text(format.how);
  w->text(at::plinknowhere);
}

}  // namespace

std::size_t basestart(const char* path, std::size_t length) {
  std::size_t at = length;
  while (at > 0 && path[at - 1] != '/') --at;
  return at;
}

std::size_t filesetlength(const fileformat& format, const char* path, std::size_t length) {
  std::size_t ending = std::strlen(format.fileset);
  bool named = length > ending &&
               std::memcmp(path + length - ending, format.fileset, ending) == 0 &&
               path[length - ending - 1] != '/';
  return named ? length - ending : 0;
}

std::size_t textname(const fileformat& format, const char* path, std::size_t length, char* out) {
  std::size_t suffix = suffixof(format, path, length);
  const char* add = suffix > 0 || format.text[0] != '\0' ? format.text : ".txt";
  return joined({path, length - suffix}, add, out);
}

std::size_t advise(const fileformat& format, const char* path, std::size_t length,
                   const advisedrun& run, const adviceplace& place,
                   char* out,  // NOLINT(readability-non-const-parameter): written through w
                   std::size_t size) {
  writer w{out, size, 0};
  name file{path, length < fieldsize ? length : fieldsize};
  if (format.plink != nullptr && path != nullptr) {
    plinkadvice(&w, format, file, run, place);
  } else if (format.tool == nullptr) {
    w.text(format.how);
  } else if (path == nullptr) {
    w.text(format.list != nullptr ? "name the archive itself: its tool reads no pipe" : "put ");
    if (format.list == nullptr) {
      w.text(format.tool);
      w.text(" between what writes it and varnholt, under set -o pipefail");
    }
  } else if (format.suffixes[0] != '\0' && suffixof(format, file.bytes, file.length) == 0) {
    // A gzip file named reads.dat may hold a BAM: the program, reading it
    // through the pipe, names what it holds.
    commandline(&w, format, file, nullptr, run, at::pipedunknown);
  } else {
    char beside[fieldsize + textendingsize];
    name text{beside, textname(format, file.bytes, file.length, beside)};
    std::size_t base = basestart(text.bytes, text.length);
    name here{beside + base, text.length - base};
    if (place.besidewritable && fits(text.bytes, text.length)) {
      commandline(&w, format, file, &text, run, "");
    } else if (place.herewritable && fits(here.bytes, here.length)) {
      commandline(&w, format, file, &here, run,
                  place.besidewritable ? at::herelong : at::herefolder);
    } else {
      commandline(&w, format, file, nullptr, run, at::pipednowhere);
    }
  }
  return w.n;
}
