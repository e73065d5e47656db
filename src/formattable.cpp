// SPDX-License-Identifier: MIT
#include "formattable.h"

#include <algorithm>
#include <string_view>

namespace {

// A failed write shows in the stream's error, which the page's writer
// checks once at the end.
void put(std::string_view text, std::FILE* out) {
  (void)std::fwrite(text.data(), 1, text.size(), out);
}

// Text as roff shows it: a minus as a minus, a backslash as one, and a cell
// that starts with a dot or quote taken as text, not as a request.
void roff(std::string_view text, std::FILE* out) {
  for (char c : text) {
    if (c == '-') {
      put("\\-", out);
    } else if (c == '\\') {
      put("\\e", out);
    } else {
      put({&c, 1}, out);
    }
  }
}

bool plain(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ';
}

// A magic: its bytes in hexadecimal, a run of two or more letters, digits
// and blanks between double quotes, then its offset and its note.
void magic(const magicbytes& m, std::FILE* out) {
  const std::string_view b = m.bytes;
  for (std::size_t i = 0, n; i < b.size(); i += n) {
    n = 0;
    while (i + n < b.size() && plain(b[i + n])) ++n;
    if (i > 0) put(" ", out);
    if (n >= 2) {
      (void)std::fprintf(out, "\"%.*s\"", static_cast<int>(n), b.data() + i);
      continue;
    }
    (void)std::fprintf(out, "%02x", static_cast<unsigned char>(b[i]));
    n = 1;
  }
  if (m.at > 0) (void)std::fprintf(out, " at %zu", m.at);
  if (m.note != nullptr) (void)std::fprintf(out, " (%s)", m.note);
}

// Blank-separated words as a list: ".a, .b or .c".
void listed(std::string_view words, std::FILE* out) {
  std::size_t count = words.empty() ? 0 : 1;
  for (char c : words) {
    if (c == ' ') ++count;
  }
  std::size_t i = 0;
  for (std::string_view w = words; !w.empty(); ++i) {
    std::size_t n = std::min(w.find(' '), w.size());
    if (i > 0) put(i + 1 == count ? " or " : ", ", out);
    roff(w.substr(0, n), out);
    w.remove_prefix(std::min(w.size(), n + 1));
  }
}

void cell(std::FILE* out) {
  put("T{\n\\&", out);
}

void told(const fileformat& f, std::FILE* out) {
  std::size_t magics = 0;
  for (const magicbytes& m : f.magic) {
    if (!m.bytes.empty()) ++magics;
  }
  for (std::size_t i = 0; i < magics; ++i) {
    if (i > 0) put(i + 1 == magics ? " or " : ", ", out);
    magic(f.magic[i], out);
  }
  if (f.test != testnone) {
    if (magics > 0) put(", ", out);
    roff(testwords(f.test), out);
  }
  if (f.needsnul) put(", and a NUL anywhere", out);
  if (f.compressed) put("; its first bytes alone are cut short", out);
  if (f.bgzf) roff("; a BGZF file that does not end in its end-of-file block is cut short", out);
  const fileformat* holder = f.within != nullptr ? formatkeyed(f.within) : nullptr;
  if (holder != nullptr) {
    if (magics > 0 || f.test != testnone) put("; or ", out);
    roff(holder->name, out);
    put(" and named ", out);
    listed(f.suffixes, out);
  }
}

void text(const fileformat& f, std::FILE* out) {
  if (f.tool == nullptr) {
    roff(f.how, out);
    if (f.plink == nullptr) return;
    put("; with its fileset beside it, \\fB", out);
    roff(f.plink, out);
    put("\\fP (", out);
    roff(f.package, out);
    put(") writes its samples as a .ped file, which is counted", out);
    return;
  }
  put("\\fB", out);
  roff(f.tool, out);
  put("\\fP", out);
  if (f.list != nullptr) {
    std::string_view list = f.list;
    list = list.substr(0, list.find(" @"));
    put(", of its one file, listed by \\fB", out);
    roff(list, out);
    put("\\fP", out);
  }
  put(" (", out);
  roff(f.package, out);
  put(")", out);
  if (f.suffixes[0] != '\0') {
    put("; drops ", out);
    listed(f.suffixes, out);
  }
  if (f.text[0] != '\0') {
    put(f.suffixes[0] != '\0' ? ", adds " : "; adds ", out);
    roff(f.text, out);
  }
}

}  // namespace

void writeformatrow(const fileformat& format, std::FILE* out) {
  cell(out);
  roff(format.name, out);
  put("\nT}\t", out);
  cell(out);
  told(format, out);
  put("\nT}\t", out);
  cell(out);
  text(format, out);
  put("\nT}\n", out);
}
