// SPDX-License-Identifier: MIT
#include "field.h"

#include <cstring>

int setfield(char* field, const char* text) {
  std::memset(field, ' ', fieldsize);
  if (text == nullptr) return 0;
  std::size_t length = std::strlen(text);
  std::memcpy(field, text, length < fieldsize ? length : fieldsize);
  return cutpast(text, fieldsize);
}

int cutpast(const char* text, std::size_t width) {
  if (text == nullptr) return 0;
  std::size_t i = 0;
  while (i < width && text[i] != '\0') ++i;
  // Blanks past the end would have been dropped anyway: only a real
  // character there is lost.
  for (; text[i] != '\0'; ++i) {
    if (text[i] != ' ') return 1;
  }
  return 0;
}

std::size_t trimmedlength(const char* field, std::size_t size) {
  while (size > 0 && field[size - 1] == ' ') --size;
  return size;
}

int readi5(const char* field, std::int32_t* value) {
  const int width = 5;
  int i = 0;
  while (i < width && field[i] == ' ') ++i;
  if (i == width) {
    *value = 0;
    return 0;
  }
  std::int32_t sign = 1;
  if (field[i] == '+' || field[i] == '-') {
    if (field[i] == '-') sign = -1;
    ++i;
  }
  // At most five digits, so the value always fits 32 bits.
  std::int32_t magnitude = 0;
  int digits = 0;
  for (; i < width; ++i) {
    char c = field[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') return 1;
    magnitude = magnitude * 10 + (c - '0');
    ++digits;
  }
  if (digits == 0) return 1;
  *value = sign * magnitude;
  return 0;
}
