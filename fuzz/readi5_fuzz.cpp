// SPDX-License-Identifier: MIT
// Any byte string as argument 3: the five-character read never crashes,
// agrees with an independent reading, and keeps accepted values in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "field.h"

namespace {

// Reads the same five characters another way: drop every blank, then the
// rest must be empty, or one optional sign and at least one digit.
bool reference(const std::string& five, std::int32_t* value) {
  std::string kept;
  for (char c : five)
    if (c != ' ') kept += c;
  if (kept.empty()) {
    *value = 0;
    return true;
  }
  std::size_t digits = kept[0] == '+' || kept[0] == '-' ? 1 : 0;
  if (digits == kept.size()) return false;
  for (std::size_t i = digits; i < kept.size(); ++i)
    if (kept[i] < '0' || kept[i] > '9') return false;
  *value = static_cast<std::int32_t>(std::strtol(kept.c_str(), nullptr, 10));
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An argument ends at its first NUL, as on a command line.
  std::string argument(reinterpret_cast<const char*>(data), size);
  argument = argument.c_str();
  char field[fieldsize];
  setfield(field, argument.c_str());
  std::string five = (argument + "     ").substr(0, 5);

  std::int32_t value = 123456;
  int status = readi5(field, &value);
  std::int32_t expected = 0;
  bool accepted = reference(five, &expected);
  if ((status == 0) != accepted) std::abort();
  if (status == 0 && (value != expected || value < -9999 || value > 99999)) std::abort();
  if (status != 0 && value != 123456) std::abort();
  return 0;
}
