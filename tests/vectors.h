// SPDX-License-Identifier: MIT
// Bytes as the field's tools write them, shared by the unit and end-to-end
// tests. Written out here, not taken from the program, so that a wrong
// constant in the program fails the tests instead of passing through them.
#ifndef VARNHOLT_TESTS_VECTORS_H_
#define VARNHOLT_TESTS_VECTORS_H_

#include <string>

// The empty member bgzip, bcftools and samtools end every BGZF file with.
inline const std::string bgzfend(
    "\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);

#endif  // VARNHOLT_TESTS_VECTORS_H_
