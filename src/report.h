// SPDX-License-Identifier: MIT
// The report-line writer: every line the program prints, on standard output
// or standard error, is one blank, a label, and at most one value.
#ifndef VARNHOLT_REPORT_H_
#define VARNHOLT_REPORT_H_

#include <cstddef>
#include <cstdint>

// Destinations are file descriptors.
inline constexpr int tostdout = 1;
inline constexpr int tostderr = 2;

// Each call writes one whole line and hands it to the system before it
// returns, so lines on both streams keep program order. Each returns 0, or
// the errno of the first failed write.

// " " label "\n"
int reportlabel(int fd, const char* label);

// " " label text "\n": the text follows the label with no separator.
int reporttext(int fd, const char* label, const char* text, std::size_t length);

// " " label " " value right-aligned in eleven characters "\n"
int reportinteger(int fd, const char* label, std::int32_t value);

// text as it is, lines and all: for --help and --version, which print
// what other programs' do, not report lines.
int reportverbatim(int fd, const char* text);

#endif  // VARNHOLT_REPORT_H_
