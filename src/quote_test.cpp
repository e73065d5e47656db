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
  out.resize(quotename(name.data(), name.size(), out.data(), out.size()));
  return out;
}

std::string pasted(const std::string& name) {
  std::string out(shellwordsize(name.size()), '#');
  out.resize(shellword(name.data(), name.size(), out.data(), out.size()));
  return out;
}

struct Case {
  std::string name, shown;
  std::string pasted{};  // as a shell word, where not as shown
};

// Names of well-formed UTF-8 without a control character stay as they are.
const Case cases[] = {
    {"", "", "''"},
    {"geno.txt", "geno.txt"},
    {"g_1-2+3,x:y@z%=.vcf.gz", "g_1-2+3,x:y@z%=.vcf.gz"},
    {" lead  in", " lead  in", "' lead  in'"},
    {"it's \"x\" \\ $HOME `a` *", "it's \"x\" \\ $HOME `a` *", "'it'\\''s \"x\" \\ $HOME `a` *'"},
    {"a;rm -f x.gz", "a;rm -f x.gz", "'a;rm -f x.gz'"},
    {"$(touch x)~{a,b}!", "$(touch x)~{a,b}!", "'$(touch x)~{a,b}!'"},
    {"-h.gz", "-h.gz", "./-h.gz"},  // no option to the tool
    {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\xa7\xac \xf4\x8f\xbf\xbf \xed\x9f\xbf",
     "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\xa7\xac \xf4\x8f\xbf\xbf \xed\x9f\xbf",
     "'caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\xa7\xac \xf4\x8f\xbf\xbf \xed\x9f\xbf'"},  // UTF-8
    {"x\n allocation size=           5", "$'x\\n allocation size=           5'"},
    {"a\tb\rc", "$'a\\tb\\rc'"},
    {"-\t'", "$'-\\t\\''", "./$'-\\t\\''"},
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
    // Bidirectional controls, which reorder the screen: evil<U+202E>txt.sh
    // shows as evilhs.txt.
    {"evil\xe2\x80\xaetxt.sh", "$'evil\\342\\200\\256txt.sh'"},
    {"\xd8\x9c\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\xaa\xe2\x81\xa6\xe2\x81\xa9",
     "$'\\330\\234\\342\\200\\216\\342\\200\\217\\342\\200\\252\\342\\201\\246\\342\\201\\251'"},
    {"\xd8\x9b\xe2\x80\x8d\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
     "\xd8\x9b\xe2\x80\x8d\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
     "'\xd8\x9b\xe2\x80\x8d\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa'"},  // their neighbours
    // Bytes outside well-formed UTF-8 are quoted one by one: stray, cut,
    // overlong, surrogate, past U+10FFFF, F5-FF; a raw 9B is CSI to some.
    {"caf\xc3\xa9 \x80\xff", "$'caf\xc3\xa9 \\200\\377'"},
    {"p\x9b"
     "2J",
     "$'p\\2332J'"},
    {"\xe2\x82x\xf0\x9f\xa7", "$'\\342\\202x\\360\\237\\247'"},
    {"\xc0\xaf\xe0\x80\xaf", "$'\\300\\257\\340\\200\\257'"},
    {"\xe0\x9f\xbf", "$'\\340\\237\\277'"},  // the longest overlong of three bytes
    {"\xed\xa0\x80\xf4\x90\x80\x80", "$'\\355\\240\\200\\364\\220\\200\\200'"},
    {"\xf5\xe2\x82\xac'", "$'\\365\xe2\x82\xac\\''"},
    {"\xf5\x80\x80\x80\xf7\xbf\xbf\xbf", "$'\\365\\200\\200\\200\\367\\277\\277\\277'"},
};

// Into a buffer shorter than the form: the same length stated, the start
// of the form, and not a byte past the buffer (canaries after it), also
// where the room is less than the ./ before a dash.
template <typename Quote>
void expectcut(Quote quote, const std::string& name, const std::string& whole) {
  for (std::size_t size = 0; size < whole.size(); size += 1 + size / 2) {
    std::string out(size + 8, '#');
    EXPECT_EQ(quote(name.data(), name.size(), out.data(), size), whole.size()) << whole;
    EXPECT_EQ(out.substr(0, size), whole.substr(0, size)) << whole;
    EXPECT_EQ(out.substr(size), std::string(8, '#')) << whole << " in " << size;
  }
}

TEST(QuoteName, ShowsOnlyNamesWithControlOrNonUtf8BytesInAnsiCQuoting) {
  for (const Case& c : cases) {
    EXPECT_EQ(quoted(c.name), c.shown) << c.shown;
    EXPECT_EQ(pasted(c.name), c.pasted.empty() ? c.shown : c.pasted) << c.shown;
    expectcut(quotename, c.name, c.shown);
    expectcut(shellword, c.name, c.pasted.empty() ? c.shown : c.pasted);
  }
  // The longest name fits the size given for it.
  EXPECT_EQ(quoted(std::string(500, '\x01')).size(), quotedsize(500));
}

TEST(QuoteName, BashReadsTheQuotedNameBackAsTheName) {
  if (access("/bin/bash", X_OK) != 0) GTEST_SKIP() << "no /bin/bash";
  for (const Case& c : cases) {
    // Each form and what bash must read back: the shown name, where it is
    // quoted, and the shell word, which names a leading - as ./-.
    const std::string forms[][2] = {{c.shown, c.name},
                                    {pasted(c.name), c.name[0] == '-' ? "./" + c.name : c.name}};
    for (const auto& [form, back] : forms) {
      if (&form == &forms[0][0] && form == c.name) continue;  // as it is: not shell quoting
      // The quoted name reaches bash as its own script: printf %s NAME.
      ASSERT_EQ(setenv("VARNHOLT_QUOTED", ("printf %s " + form).c_str(), 1), 0);
      // NOLINTNEXTLINE(cert-env33-c): the point is to ask bash itself
      FILE* pipe = popen("/bin/bash -c \"$VARNHOLT_QUOTED\"", "r");
      ASSERT_NE(pipe, nullptr);
      std::string got;
      char buffer[256];
      for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) got.append(buffer, n);
      EXPECT_EQ(pclose(pipe), 0) << form;
      EXPECT_EQ(got, back) << form;
    }
  }
}

}  // namespace
