// SPDX-License-Identifier: MIT
#include "field.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReadCase {
  const char* argument;  // nullptr: argument absent
  int status;
  std::int32_t value;
  int cut = 0;  // a character other than a blank after the fifth
};

TEST(ReadI5, ReadsTheFirstFiveCharactersOfTheArgument) {
  const ReadCase cases[] = {
      {"7", 0, 7},
      {" 42", 0, 42},
      {"-12", 0, -12},
      {"+7", 0, 7},
      {"", 0, 0},
      {"     ", 0, 0},
      {nullptr, 0, 0},
      {"1234567", 0, 12345, 1},
      {"-99999", 0, -9999, 1},
      {"12345   ", 0, 12345},
      {"99999", 0, 99999},
      {"123  x", 0, 123, 1},
      {"00042", 0, 42},
      {"-0", 0, 0},
      {"    9", 0, 9},
      {"1 2", 0, 12},
      {"- 5", 0, -5},
      {"12   ", 0, 12},
      // Malformed: anything but blanks, one leading sign and digits.
      {"12.5", 1, 0},
      {"abc", 1, 0},
      {"1e3", 1, 0},
      {"12abc", 1, 0},
      {"-", 1, 0},
      {"+", 1, 0},
      {"+   ", 1, 0},
      {"    -", 1, 0},
      {"\t1", 1, 0},
      {"1\t", 1, 0},
      {"1,000", 1, 0},
      {"--5", 1, 0},
      {"+-5", 1, 0},
      {"5-", 1, 0},
      {"12 x", 1, 0},
      {"1\n", 1, 0},
  };
  for (const ReadCase& c : cases) {
    char field[fieldsize];
    setfield(field, c.argument);
    std::int32_t value = -77777;
    int status = readi5(field, &value);
    std::string name = c.argument ? c.argument : "(absent)";
    EXPECT_EQ(status, c.status) << '"' << name << '"';
    EXPECT_EQ(value, c.status == 0 ? c.value : -77777) << '"' << name << '"';
    EXPECT_EQ(cutpast(c.argument, 5), c.cut) << '"' << name << '"';
  }
}

struct FieldCase {
  std::string argument;
  int toolong;
  std::size_t trimmed;  // length once trailing blanks are gone
};

TEST(SetField, CopiesAtMostTheFieldAndTellsWhenSomethingWasCut) {
  const std::string x500(500, 'x');
  const FieldCase cases[] = {
      {"", 0, 0},
      {"a.txt", 0, 5},
      {"a.txt   ", 0, 5},
      {"  a.txt", 0, 7},  // leading blanks are part of the name
      {"   ", 0, 0},
      {x500, 0, 500},
      {x500 + "      ", 0, 500},  // only blanks lost: the same name
      {x500 + "y", 1, 500},
      {std::string(600, 'z'), 1, 500},
      {std::string(499, 'x') + "   y", 1, 499},
  };
  for (const FieldCase& c : cases) {
    char field[fieldsize + 1];
    field[fieldsize] = '#';  // must survive: the copy stays inside the field
    EXPECT_EQ(setfield(field, c.argument.c_str()), c.toolong) << c.argument.size();
    EXPECT_EQ(trimmedlength(field, fieldsize), c.trimmed) << c.argument.size();
    EXPECT_EQ(std::string(field, c.trimmed), c.argument.substr(0, c.trimmed));
    EXPECT_EQ(field[fieldsize], '#');
  }
}

TEST(SetField, RefillsWithBlanksBeforeEachCopy) {
  char field[fieldsize];
  setfield(field, "a-long-first-name");
  setfield(field, "b");
  EXPECT_EQ(std::string(field, fieldsize), "b" + std::string(fieldsize - 1, ' '));
  setfield(field, nullptr);
  EXPECT_EQ(std::string(field, fieldsize), std::string(fieldsize, ' '));
}

}  // namespace
