// SPDX-License-Identifier: MIT
#include "quote.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string quoted(const std::string& name) {
  std::string out(quotedsize(name.size()), '#');
  out.resize(quotename(name.data(), name.size(), out.data()));
  return out;
}

struct Case {
  std::string name, shown;
};

// Names of well-formed UTF-8 without a control character stay as they are.
const Case cases[] = {
    {"", ""},
    {"geno.txt", "geno.txt"},
    {" lead  in", " lead  in"},
    {"it's \"x\" \\ $HOME `a` *", "it's \"x\" \\ $HOME `a` *"},
    {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\xa7\xac \xf4\x8f\xbf\xbf \xed\x9f\xbf",
     "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\xa7\xac \xf4\x8f\xbf\xbf \xed\x9f\xbf"},  // UTF-8
    {"x\n allocation size=           5", "$'x\\n allocation size=           5'"},
    {"a\tb\rc", "$'a\\tb\\rc'"},
    {"\x1b[2Jp", "$'\\033[2Jp'"},
    {"\x01"
     "7",
     "$'\\0017'"},  // the digit after it stays a digit
    {"\x7f", "$'\\177'"},
    {"\x1f ~", "$'\\037 ~'"},
    {"it's\n", "$'it\\'s\\n'"},
    {"back\\slash\n", "$'back\\\\slash\\n'"},
    {"caf\xc3\xa9\n", "$'caf\xc3\xa9\\n'"},
    // C1 controls in UTF-8 are controls too; the rest of UTF-8 is not.
    {"a\xc2\x85"
     "b",
     "$'a\\302\\205b'"},
    {"\xc2\x9f\xc2\x80", "$'\\302\\237\\302\\200'"},
    {"\xc2\xa0 \xc2\x7f \xc2", "$'\xc2\xa0 \\302\\177 \\302'"},
    // Bytes outside well-formed UTF-8 are quoted one by one: stray, cut,
    // overlong, surrogate, past U+10FFFF, F5-FF; a raw 9B is CSI to some.
    {"caf\xc3\xa9 \x80\xff", "$'caf\xc3\xa9 \\200\\377'"},
    {"p\x9b"
     "2J",
     "$'p\\2332J'"},
    {"\xe2\x82x\xf0\x9f\xa7", "$'\\342\\202x\\360\\237\\247'"},
    {"\xc0\xaf\xe0\x80\xaf", "$'\\300\\257\\340\\200\\257'"},
    {"\xed\xa0\x80\xf4\x90\x80\x80", "$'\\355\\240\\200\\364\\220\\200\\200'"},
    {"\xf5\xe2\x82\xac'", "$'\\365\xe2\x82\xac\\''"},
};

TEST(QuoteName, ShowsOnlyNamesWithControlOrNonUtf8BytesInAnsiCQuoting) {
  for (const Case& c : cases) EXPECT_EQ(quoted(c.name), c.shown) << c.shown;
  // The longest name fits the size given for it.
  EXPECT_EQ(quoted(std::string(500, '\x01')).size(), quotedsize(500));
}

TEST(QuoteName, BashReadsTheQuotedNameBackAsTheName) {
  if (access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no /bin/bash";
  for (const Case& c : cases) {
    if (c.shown == c.name) continue;  // not shell quoting
    // The quoted name reaches bash as its own script: printf %s NAME.
    ASSERT_EQ(setenv("VARNHOLT_QUOTED", ("printf %s " + c.shown).c_str(), 1), 0);
    // NOLINTNEXTLINE(cert-env33-c): the point is to ask bash itself
    FILE* pipe = popen("/bin/bash -c \"$VARNHOLT_QUOTED\"", "r");
    ASSERT_NE(pipe, nullptr);
    std::string back;
    char buffer[256];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) back.append(buffer, n);
    EXPECT_EQ(pclose(pipe), 0) << c.shown;
    EXPECT_EQ(back, c.name) << c.shown;
  }
}

}  // namespace
