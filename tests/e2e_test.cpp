// SPDX-License-Identifier: MIT
// Runs the built program as users do and checks every byte it prints, its
// exit status and what it leaves in the file system.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <tuple>
#include <vector>

#include "harness.h"
#include "vectors.h"

namespace {

using namespace varnholttest;  // NOLINT(google-build-using-namespace)

struct Case {
  std::vector<std::string> args;  // after the program name
  std::string out, err;
  int status;
};

// Each case runs in a fresh folder holding "three.txt" (three lines),
// "empty.txt" (no bytes) and "fifo", which no one writes.
TEST_F(Varnholt, PrintsTheFourReportLines) {
  const std::string emptypath = " varnholt: error: cannot open genotype file: empty path\n";
  const std::string badnumber =
      " varnholt: error: bad value while reading an integer for the number of "
      "positions (argument 3): ";
  const std::string accepted = "; its first five characters must hold an integer, -9999 to 99999\n";
  const std::string cut =
      " varnholt: warning: the number of positions is read from the first five characters of "
      "argument 3: ";
  const std::string created = " varnholt: warning: created empty genotype file ";
  std::string ctrl500 = "$'";
  for (int i = 0; i < 500; ++i) ctrl500 += "\\001";
  ctrl500 += "'";
  // The reading of the number itself is the unit tests' (field_test.cpp):
  // here, what a run prints for each kind of number.
  const Case cases[] = {
      {{VARNHOLT_EXAMPLES "/genotypes.txt", "p.mat", "250"},
       report(VARNHOLT_EXAMPLES "/genotypes.txt", "p.mat", "250", "121"),
       "",
       0},
      {{"empty.txt", "p.mat", "7"}, report("empty.txt", "p.mat", "7", "1"), "", 0},
      {{"three.txt", "", ""}, report("three.txt", "", "0", "4"), "", 0},
      {{"three.txt", "p", "123  x"},
       report("three.txt", "p", "123", "4"),
       cut + "123 from \"123  x\"\n",
       0},
      {{"three.txt   ", "p  ", "1"},
       report("three.txt", "p", "1", "4"),
       " varnholt: warning: trailing blanks dropped from the genotype path, using three.txt\n",
       0},
      {{"-", "p", "1"}, report("-", "p", "1", "1"), "", 0},  // standard input, /dev/null here
      {{"three.txt", "p", "1", "extra"}, report("three.txt", "p", "1", "4"), usage, 0},
      {{"three.txt", "fifo", "3"}, report("three.txt", "fifo", "3", "4"), "", 0},
      {{"three.txt", "p"}, report("three.txt", "p", "0", "4"), usage, 0},
      {{}, report("", "", "0", "0"), usage, 0},
      {{"   ", "p", "1"}, report("", "p", "1", "0"), emptypath, 1},
      // A malformed number touches no genotype file; no pattern file is opened.
      {{"never.txt", "p", "12.5"},
       " genotype file=never.txt\n pattern file=p\n",
       badnumber + "\"12.5 \"" + accepted,
       2},
      {{"three.txt", "p", "\t5"},
       " genotype file=three.txt\n pattern file=p\n",
       badnumber + "$'\\t5   '" + accepted,
       2},
      // A control character cannot forge, end or hide a line.
      {{"a\nb", "\x1b[2Jp", "1"},
       report("$'a\\nb'", "$'\\033[2Jp'", "1", "1"),
       created + "$'a\\nb'\n",
       0},
      {{"missing/\r", "p", "1"},
       report("$'missing/\\r'", "p", "1", "0"),
       " varnholt: error: cannot create genotype file $'missing/\\r': No such file or directory\n",
       1},
      {{"\xff.txt", "p\xc2\x9b", "1\xe2\x82"},
       " genotype file=$'\\377.txt'\n pattern file=$'p\\302\\233'\n",
       badnumber + "$'1\\342\\202  '" + accepted,
       2},
      // A whole field of them, each shown, in the echo and in the message.
      {{std::string(500, '\x01'), "p", "1"},
       report(ctrl500, "p", "1", "0"),
       " varnholt: error: cannot open genotype file " + ctrl500 + ": File name too long\n",
       1},
      // Beside other arguments, --help and --version are names.
      {{"--help", "p", "1"}, report("--help", "p", "1", "1"), created + "--help\n", 0},
      {{"--version", "p"}, report("--version", "p", "0", "1"), usage + created + "--version\n", 0},
  };
  mkfifo((dir + "/fifo").c_str(), 0644);  // opened, it would wait for ever
  for (const Case& c : cases) {
    write("three.txt", "a\nb\nc\n");
    write("empty.txt", "");
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    expectrun(run(argv, here()), c.out, c.err, c.status, c.args.empty() ? "(none)" : c.args.back());
  }
  EXPECT_TRUE(exists(dir + "/a\nb"));  // under its real name
  EXPECT_FALSE(exists(dir + "/-"));
  EXPECT_FALSE(exists(dir + "/never.txt"));
}

TEST_F(Varnholt, HelpAndVersionAloneCreateNothing) {
  Outcome help = run({program, "--help"}, here());
  EXPECT_EQ(help.out.rfind("Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS\n", 0), 0u);
  EXPECT_NE(help.out.find("varnholt(1)"), std::string::npos);
  expectrun(help, help.out, "", 0, "--help");
  expectrun(run({program, "-h"}, here()), help.out, "", 0, "-h");
  expectrun(run({program, "--version"}, here()), "varnholt " VARNHOLT_VERSION "\n", "", 0,
            "--version");
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

// What a run that creates the file prints is a row of the table above;
// here, the file: empty, with the mode the umask leaves of 0666.
TEST_F(Varnholt, CreatesAMissingGenotypeFileEmptyWithMode0644) {
  for (auto [name, mask, mode] : {std::tuple{"new.txt", 022, 0644u}, {"other.txt", 077, 0600u}}) {
    run({program, name, "p", "1"}, Options{dir, "", static_cast<mode_t>(mask), {}});
    struct stat st;
    ASSERT_EQ(stat((dir + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
  // A second run counts the file it created, and has nothing to warn of.
  expectrun(run({program, "new.txt", "p", "1"}, here()), report("new.txt", "p", "1", "1"), "", 0,
            "again");
}

TEST_F(Varnholt, FailsOnGenotypeFilesThatCannotBeOpenedOrCreated) {
  mkdir((dir + "/sub").c_str(), 0755);
  struct Unopenable {
    std::string path, verb, reason;
    std::string kind = "genotype file ";
  };
  const Unopenable cases[] = {
      {"sub", "open", "Is a directory"},
      {"sub/", "open", "Is a directory"},
      {"missing/g.txt", "create", "No such file or directory"},
      {"three.txt/x", "open", "Not a directory"},
      {"nosuchdir/", "create", "No such file or directory"},
      // A dangling link is something at the path: nothing is created through it.
      {"link.txt", "open", "dangling symbolic link, not followed to create a file"},
      {"broken.txt", "open", "dangling symbolic link, not followed to create a file"},
      {"socket", "open", "not a file", "socket "},  // named as what it is
  };
  write("three.txt", "a\n");
  ASSERT_EQ(symlink("target.txt", (dir + "/link.txt").c_str()), 0);
  ASSERT_EQ(symlink("nowhere/target.txt", (dir + "/broken.txt").c_str()), 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string socketpath = dir + "/socket";
  ASSERT_LT(socketpath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketpath.c_str(), socketpath.size() + 1);
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  for (const Unopenable& c : cases) {
    expectrun(run({program, c.path, "p", "1"}, here()), report(c.path, "p", "1", "0"),
              " varnholt: error: cannot " + c.verb + " " + c.kind + c.path + ": " + c.reason + "\n",
              1, c.path);
  }
  close(listener);
  EXPECT_FALSE(exists(dir + "/missing"));
  EXPECT_FALSE(exists(dir + "/target.txt"));
  EXPECT_FALSE(exists(dir + "/nosuchdir"));
}

TEST_F(Varnholt, NeverOpensAPathCutAt500Characters) {
  // Components below the 255-byte name limit, 500 characters in all.
  std::string folder = std::string(200, 'd') + "/" + std::string(200, 'e');
  ASSERT_TRUE(std::filesystem::create_directories(dir + "/" + folder));
  std::string exact = folder + "/" + std::string(500 - folder.size() - 1, 'f');
  ASSERT_EQ(exact.size(), 500u);
  Outcome r = run({program, exact, "p", "1"}, here());
  EXPECT_EQ(r.out, report(exact, "p", "1", "1"));
  EXPECT_EQ(r.err, " varnholt: warning: created empty genotype file " + exact + "\n");
  EXPECT_TRUE(exists(dir + "/" + exact));

  std::string longer = folder + "/" + std::string(98, 'g') + "hij";  // 501 and up
  for (const std::string& path : {longer, longer + "k", longer + std::string(100, 'z')}) {
    expectrun(run({program, path, "p", "1"}, here()), report(path.substr(0, 500), "p", "1", "0"),
              " varnholt: error: cannot open genotype file: path longer than 500 bytes\n", 1, path);
    EXPECT_FALSE(exists(dir + "/" + path.substr(0, 500)));
  }
}

TEST_F(Varnholt, CountsStreamsAndFilesOfNoStatedSize) {
  write("fifo-feed.txt", "1\n2\n3\n4");
  mkfifo((dir + "/fifo").c_str(), 0644);
  struct Stream {
    std::string script, expected;
  };
  const Stream cases[] = {
      {"printf 'a\\nb\\n' | \"$V\" /dev/stdin p 1", report("/dev/stdin", "p", "1", "3")},
      {"printf 'a\\nb' | \"$V\" /dev/stdin p 1", report("/dev/stdin", "p", "1", "3")},
      {"printf 'a\\nb\\n' | \"$V\" - p 1", report("-", "p", "1", "3")},
      {"{ read -r l; \"$V\" - p 1; } < fifo-feed.txt",
       report("-", "p", "1", "4")},  // from there on
      {"printf 'a\\nb\\n' > ./-; echo | \"$V\" ./- p 1", report("./-", "p", "1", "3")},
      {"(printf 'a\\nb'; sleep 0.2; printf 'c\\nd\\n') | \"$V\" /dev/stdin p 1",
       report("/dev/stdin", "p", "1", "4")},
      {"cat fifo-feed.txt > fifo & \"$V\" fifo p 1; wait", report("fifo", "p", "1", "5")},
      // Stopped and continued while it waits on a slow FIFO.
      {"mkfifo slow; \"$V\" slow p 1 > out.txt & pid=$!; exec 3>slow\n"
       "printf 'a\\nb\\n' >&3; sleep 0.2; kill -STOP $pid; sleep 0.2; printf 'c\\n' >&3\n"
       "sleep 0.2; kill -CONT $pid; sleep 0.2; printf 'd' >&3; exec 3>&-\n"
       "wait $pid; echo status=$?; cat out.txt",
       "status=0\n" + report("slow", "p", "1", "5")},
      {"\"$V\" /proc/version p 1", report("/proc/version", "p", "1", "2")},
      // Past 2 GiB, where a 32-bit build needs 64-bit file offsets: the
      // end-of-file block of a BGZF file is read there, at once.
      // The advice's program, as the emulator or any folder names it, left out.
      {"{ \"$V\" sparse.gz p 1 2>&1; echo status=$?; } | sed 's/ && .* sparse p 1$/ \\&\\& V "
       "sparse p 1/'",
       " genotype file=sparse.gz\n pattern file=p\n Number of pos=           1\n varnholt: error: "
       "genotype file sparse.gz is gzip-compressed, not text: its line feeds are not records\n"
       " varnholt: to count its records, run: (set -C; [ -x \"$(command -v gzip)\" ] || { echo "
       ">&2 gzip cannot be run: install the Debian package gzip; exit 1; }; exec >sparse || exit; "
       "gzip -dc sparse.gz || { rm -f sparse; exit 1; }) && V sparse p 1\n"
       " allocation size=           0\nstatus=1\n"},
      // An endless stream of records ends once no allocation size can fit.
      {"yes '' | \"$V\" - p 1 2>&1; echo status=$?",
       " genotype file=-\n pattern file=p\n Number of pos=           1\n"
       " varnholt: error: too many records for a 32-bit allocation size in standard input\n"
       " allocation size=           0\nstatus=1\n"},
  };
  // A BGZF member, a hole, and BGZF's end-of-file block past 2 GiB.
  std::string sparsepath = write("sparse.gz", bgzfend);
  ASSERT_EQ(truncate(sparsepath.c_str(), (1LL << 31) + 1 - 28), 0);
  int fd = open(sparsepath.c_str(), O_WRONLY | O_APPEND);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bgzfend.data(), bgzfend.size()), static_cast<ssize_t>(bgzfend.size()));
  close(fd);
  struct stat st;
  ASSERT_EQ(stat(sparsepath.c_str(), &st), 0);
  bool sparse = st.st_blocks < 1024;  // else the file system wrote 2 GiB of zeros
  for (const Stream& c : cases) {
    // Only a 32-bit build can get that wrong; the armhf build runs it.
    bool big = c.script.find("sparse") != std::string::npos;
    if (big && (!sparse || sizeof(std::size_t) > 4)) continue;
    expectrun(shell(c.script, here()), c.expected, "", 0, c.script);
  }
}

// Text is all that holds no NUL. Anything else fails the run as soon as
// its first bytes or its first NUL say so, with no size a consumer could
// take, saying what the file is and how to count its records; the same
// bytes get the same answer however they are fed.
TEST_F(Varnholt, RefusesWhatIsNotTextAndSaysHowToCountIt) {
  struct Refusal {
    std::string script, err;
    std::string na = "0";
    int status = 1;
    std::string shown = "";  // the name echoed, where not the one after "$V"
  };
  const std::string error = " varnholt: error: ";
  const std::string notrecords = ", not text: its line feeds are not records\n";
  const std::string cut = " but cut short: its records cannot all be read\n";
  const std::string gzippipe =
      " varnholt: to count its records, put gzip -dc between what writes it and varnholt, under "
      "set -o pipefail\n";
  const std::string nopipe =
      " varnholt: to count its records, name the archive itself: its tool reads no pipe\n";
  const std::string gz = "printf '\\037\\213\\010\\000\\n' > g.gz; ";
  std::vector<Refusal> cases = {
      {gz + "\"$V\" - p 1 <g.gz",
       error + "standard input is gzip-compressed" + notrecords + gzippipe},
      {"printf 'l\\033\\001\\377' > g.bed; \"$V\" g.bed p 1",
       error + "genotype file g.bed is a PLINK 1 .bed file" + notrecords +
           " varnholt: to count its records, make a text file of it with plink1.9 (or plink) "
           "--bfile and --recode; missing beside it: g.bim and g.fam\n"},
      {"printf '\\037\\213' > g.gz; \"$V\" g.gz p 1",
       error + "genotype file g.gz is gzip-compressed" + cut},
      // Shorter than the start its name says: a download or compression
      // that died; never a .bed, which may be UCSC's, nor what a pipe holds.
      {": > g.vcf.gz; \"$V\" g.vcf.gz p 1",
       error + "genotype file g.vcf.gz is gzip-compressed" + cut},
      {"printf '\\037' > g1.vcf.gz; \"$V\" g1.vcf.gz p 1",
       error + "genotype file g1.vcf.gz is gzip-compressed" + cut},
      {": > r.BAM; \"$V\" r.BAM p 1", error + "genotype file r.BAM is BAM (binary SAM)" + cut},
      {": > u.bed; \"$V\" u.bed p 1", "", "1", 0},
      {": | \"$V\" - p 1 < /dev/null", "", "1", 0},
      // NumPy's arrays, as numpy.savez writes them where numpy is.
      {"/usr/bin/python3 -c 'import numpy; numpy.savez(\"a.npz\", a=[1])' 2>/dev/null || "
       "printf 'PK\\003\\004\\000' >a.npz; \"$V\" a.npz p 1",
       error + "genotype file a.npz is a NumPy .npz archive" + notrecords +
           " varnholt: to count its records, make a text file of the array to count with "
           "numpy.load and numpy.savetxt\n"},
      // Its mark is at 257 to 262: the first bytes are waited for, in pieces.
      {"seq 300 > t; tar -cf t.tar t; { head -c 262 t.tar; sleep 0.2; tail -c +263 t.tar; } | "
       "\"$V\" - p 1",
       error + "standard input is a tar archive" + notrecords + nopipe},
      // BGZF's end is read where reading began, after a line the shell took.
      {"{ printf 'x\\n'; cat end.bgzf; head -c 1100000 /dev/zero; cat end.bgzf; } > l.gz; { read "
       "-r l; \"$V\" - p 1; } < l.gz",
       error + "standard input is gzip-compressed" + notrecords + gzippipe},
      // Named as what is at the path, in words that fit what reads it once.
      {"mkfifo g.bcf; gzip -c </dev/null > g.bcf & \"$V\" g.bcf p 1",
       error + "FIFO g.bcf is BCF (binary VCF)" + notrecords +
           " varnholt: to count its records, put bcftools view --no-version between what writes "
           "it and varnholt, under set -o pipefail\n"},
      {"bash -c '\"$V\" <(gzip -c </dev/null) p 1'",
       error + "FIFO /dev/fd/63 is gzip-compressed" + notrecords + gzippipe, "0", 1, "/dev/fd/63"},
      {gz + "\"$V\" /dev/stdin p 1 <g.gz",
       error + "genotype file /dev/stdin is gzip-compressed" + notrecords + gzippipe},
      {gz + "\"$V\" /proc/self/fd/0 p 1 <g.gz",
       error + "genotype file /proc/self/fd/0 is gzip-compressed" + notrecords + gzippipe},
      // The first NUL ends the read, whatever follows or never comes.
      {"\"$V\" /dev/zero p 1",
       error + "device /dev/zero is binary data, not text: byte 0x00 at offset 0, in record 1\n"},
      {"mkfifo z; (head -c 300 /dev/zero; sleep 9) > z 2>/dev/null & \"$V\" z p 1; s=$?; kill $!; "
       "exit $s",
       error + "FIFO z is binary data, not text: byte 0x00 at offset 0, in record 1\n"},
      {"{ printf 'a\\n\\000'; sleep 0.2; printf 'b\\n\\000'; } | \"$V\" - p 1",
       error + "standard input is binary data, not text: byte 0x00 at offset 2, in record 2\n"},
      // Every byte but NUL is text, counted as it stands; DOS's Ctrl-Z
      // after the last line feed is a last line.
      {"printf '1\\001a\\036\\037\\n\\033[1m\\007\\010\\177\\r\\n\\032' > g; \"$V\" g p 1", "", "4",
       0},
  };
  // Another /proc path is no descriptor: read again by its name. Under an
  // emulator the advice names the emulated program.
  if (!emulated) {
    cases.push_back(
        {gz + "\"$V\" /proc/self/cwd/g.gz p 1",
         error + "genotype file /proc/self/cwd/g.gz is gzip-compressed" + notrecords +
             " varnholt: to count its records, run: (set -C; [ -x \"$(command -v gzip)\" ] || { "
             "echo >&2 gzip cannot be run: install the Debian package gzip; exit 1; }; exec "
             ">/proc/self/cwd/g || exit; gzip -dc /proc/self/cwd/g.gz || { rm -f /proc/self/cwd/g; "
             "exit 1; }) && " +
             program + " /proc/self/cwd/g p 1\n"});
  }
  // A NUL anywhere in a 300,000-byte text, and 4,096 after the first
  // 1,000,000 bytes, as a crash leaves them: refused where the first
  // stands, in the record it cuts, read as a file, through a pipe at once
  // or in pieces of 1, 4095 and 4097.
  for (std::size_t at : {0u, 65535u, 65536u, 131071u, 299999u, 1000000u}) {
    std::size_t nuls = at < 300000 ? 1 : 4096;
    std::string text;
    while (text.size() < std::max<std::size_t>(300000, at + nuls + 100))
      text += "1\t" + std::to_string(text.size()) + "\tA\tG\n";
    text.resize(std::max<std::size_t>(300000, at + nuls + 100));
    std::fill_n(text.begin() + static_cast<std::ptrdiff_t>(at), nuls, '\0');
    std::string name = std::string("n") + std::to_string(at) + ".vcf";
    write(name, text);
    auto records = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    std::string binary = " is binary data, not text: byte 0x00 at offset ";
    binary += std::to_string(at) + ", in record " + std::to_string(records + 1) + "\n";
    std::string named = error + "genotype file ";
    named += name;
    cases.push_back({"\"$V\" " + name + " p 1", named + binary});
    std::string fed = error + "standard input";
    fed += binary;
    cases.push_back({"cat " + name + " | \"$V\" - p 1", fed});
    for (const char* piece : {"1", "4095", "4097"}) {
      if (preloadable && nuls == 1)
        cases.push_back(
            {"cat " + name + " | VARNHOLT_READ_LIMIT=" + piece + " LD_PRELOAD=$SHIM \"$V\" - p 1",
             fed});
    }
  }
  write("end.bgzf", bgzfend);
  Options options = here();
  options.env = shimmed({std::string("SHIM=") + VARNHOLT_FAILREAD_NAME});
  for (const Refusal& c : cases) {
    std::string path = c.shown;
    if (path.empty()) {
      path = c.script.substr(c.script.find("\"$V\" ") + 5);
      path = path.substr(0, path.find(' '));
    }
    expectrun(shell(c.script, options), report(path, "p", "1", c.na), c.err, c.status, c.script);
  }
}

// The advice, pasted into bash, writes the records of that very file beside
// it and counts them, and runs nothing else, whatever its name holds, a
// whole field of control bytes too. Where the archive is cut short or holds
// more than one file it fails, says which, and leaves nothing; where the
// text file exists it fails and leaves it as it was.
TEST_F(Varnholt, AdviceToPasteCountsTheRecordsOfThatFileOnly) {
  // Under an emulator the advice names the other processor's program
  // itself, which the shell cannot start.
  if (emulated) GTEST_SKIP() << "the advice names the emulated program";
  std::string script = R"sh(: > x.gz
advice() { "$V" "$1" p 1 2>&1 >/dev/null | sed -n 's/^ varnholt: to count its records, run: //p'; }
size() { bash -c "$(advice "$1")" 2>&1 | sed -n 's/^ allocation size= *//p'; }
for name in 'a;rm -f x.gz' 'my geno.gz' "it's.gz" '$(rm x.gz)' '`rm x.gz`' -h.gz \
  "$(printf 'tab\tb.gz')" "$(printf 'evil\342\200\256zg.gz')" noext; do
  printf 'a\nb\nc\n' | gzip > "./$name"
  size "$name"
done; ls noext* x.gz
printf 'a\nb\nc\n' | iconv -t UTF-16 > u16.txt; size u16.txt
printf 'a\nb\nc\n' | iconv -t UTF-16BE > u16be.txt; size u16be.txt
printf '\351\nb\nc\n' | iconv -f LATIN1 -t UTF-16LE > u16le.txt; size u16le.txt
printf 'a\nb\nc\n' | iconv -t UTF-32LE > u32le.txt; size u32le.txt
printf 'a\nb\nc\n' | iconv -t UTF-32BE > u32be.txt; size u32be.txt
printf '\037\213\010\004\000\000\000\000\000\377\006\000BC\002\000$\000\001\006\000\371\377a\nb\nc\n\331\016g\n\006\000\000\000' > g.vcf.gz
printf '\037\213\010\004\000\000\000\000\000\377\006\000BC\002\000\033\000\003\000\000\000\000\000\000\000\000\000' >> g.vcf.gz
size g.vcf.gz
seq 1 20000 | gzip | head -c 2000 > cut.gz
bash -c "$(advice cut.gz)" 2>/dev/null; echo "cut: $? $(ls cut*)"
echo kept > kept; echo a | gzip > kept.gz
bash -c "$(advice kept.gz)" 2>/dev/null; echo "exists: $? $(cat kept)"
printf 'a\nb\nc\n' > g.vcf; tar -czf g.TGZ g.vcf; echo edited > g.vcf; size g.TGZ; cat g.vcf
seq 3 > t3; tar -cf t3.tar t3; size t3.tar; ls t3.tar*
as() { if [ "$(id -u)" = 0 ]; then setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; else "$@"; fi; }
# nobody may not reach the build folder (under /root, say), but may run a copy here
cp "$V" vh; U=$PWD/vh; mkdir ro; seq 3 | gzip > ro/r.vcf.gz; chmod 555 ro; chmod 777 .
as "$U" ro/r.vcf.gz p 1 2>&1 | sed -n 's/^ varnholt: to count its records, run: //p' > paste
as bash paste | sed -n 's/^ allocation size= *//p'; ls r.vcf ro
(cd ro && as "$U" r.vcf.gz p 1 2>&1 | sed -n 's/^ varnholt: to count its records, run: //p' > ../paste)
(cd ro && as bash ../paste) | sed -n 's/^ allocation size= *//p'; ls ro
)sh";
  std::string expected =
      "4\n4\n4\n4\n4\n4\n4\n4\n4\nnoext\nx.gz\n4\n4\n4\n4\n4\n4\ncut: 1 cut.gz\nexists: 1 "
      "kept\n4\nedited\n4\nt3.tar\nt3.tar.txt\n4\nr.vcf\n\nro:\nr.vcf.gz\n4\nr.vcf.gz\n";
  // The field's tools write their own files, where they are installed.
  auto has = [](const char* tool) {
    bool there = access((std::string("/usr/bin/") + tool).c_str(), X_OK) == 0;
    if (!there) std::printf("rows skipped: no %s\n", tool);
    return there;
  };
  if (has("samtools")) {
    // What a name says nothing of is read through a pipe, and named there.
    script += R"sh(printf '@HD\tVN:1.6\nr1\t4\t*\t0\t0\t*\t*\t0\t0\tA\tI\n' > r.sam
samtools view -b -o reads.dat r.sam; samtools view -b -o X.BAM r.sam
bash -c "$(advice reads.dat)" 2>&1 | grep -o 'standard input is BAM'; ls reads.dat*
size X.BAM; ls X.*
)sh";
    expected += "standard input is BAM\nreads.dat\n4\nX.BAM\nX.sam\n";
  }
  if (has("lzip")) {
    script += "tar -cf - t3 | lzip > t.tlz; size t.tlz; cat t\n";
    expected += "4\n1\n2\n3\n";
  }
  // A fileset's samples, under a prefix no file starts with: a second run
  // takes the next.
  if (has("plink1.9") && has("plink2")) {
    script += R"sh(plink1.9 --dummy 7 11 --make-bed --out xb >/dev/null
plink2 --dummy 5 11 --make-pgen vzs --out xz >/dev/null; plink2 --dummy 6 11 --make-bpgen --out xp >/dev/null
size xb.bed; size xb.bed; size xz.pgen; size xp.pgen; ls xb.samples* | tr '\n' ' '; echo
)sh";
    expected +=
        "8\n8\n6\n7\nxb.samples.log xb.samples.map xb.samples.ped xb.samples2.log "
        "xb.samples2.map xb.samples2.ped \n";
  }
  // Archives: one file is counted, two are refused.
  if (access("/usr/bin/zip", X_OK) == 0 && access("/usr/bin/unzip", X_OK) == 0) {
    script += R"sh(seq 10 > ten; seq 20 > twenty; zip -q 'one a.zip' ten; zip -q two.zip ten twenty
size 'one a.zip'; bash -c "$(advice two.zip)" 2>&1; echo "two: $? $(ls two*)"
PATH=/nonexistent /bin/bash -c "$(advice 'one a.zip')" 2>&1; echo "missing: $?"
head -c 100 'one a.zip' > cut.zip; bash -c "$(advice cut.zip)" 2>err; s=$?
tail -n 1 err; echo "cut: $s $(ls cut.z*)"
c() { printf '\001%.0s' $(seq "$1"); }
d=$(c 250); mkdir "$d"; zip -qj "$d/$(c 245).zip" ten
"$V" "$d/$(c 245).zip" "$(c 500)" "1    $(c 495)" 2>&1 >/dev/null |
  sed -n 's/^ varnholt: to count its records, run: //p' > paste
bash paste 2>/dev/null | sed -n 's/^ allocation size= *//p'
)sh";
    expected +=
        "11\ntwo.zip does not hold exactly one file\ntwo: 1 two.zip\n"
        "unzip cannot be run: install the Debian package unzip\nmissing: 1\n"
        "cut.zip is cut short or corrupt\ncut: 1 cut.zip\n11\n";
  }
  expectrun(shell(script, here()), expected, "", 0, script);
}

TEST_F(Varnholt, KeepsTheCountAndFailsWhenAReadFails) {
  expectrun(run({program, "/proc/self/mem", "p", "1"}), report("/proc/self/mem", "p", "1", "1"),
            " varnholt: error: read error in genotype file /proc/self/mem: Input/output error\n", 1,
            "/proc/self/mem");
}

TEST_F(Varnholt, FailsWhenStandardOutputCannotBeWrittenNotStandardError) {
  Outcome r = run({program, "g.txt", "p", "1"}, Options{dir, "/dev/full", 022, {}});
  EXPECT_EQ(r.err, " varnholt: error: cannot write standard output: No space left on device\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(exists(dir + "/g.txt"));  // nothing more is done after the failure

  mkdir((dir + "/sub").c_str(), 0755);
  struct Stream {
    std::string script, out;
  };
  const Stream cases[] = {
      {"\"$V\" g.txt p 1 2>&1 >&-; echo status=$?",
       " varnholt: error: cannot write standard output: Bad file descriptor\nstatus=1\n"},
      {"\"$V\" --help 2>&1 >/dev/full; echo status=$?",
       " varnholt: error: cannot write standard output: No space left on device\nstatus=1\n"},
      // Standard error cannot take the warning: the run goes on as before.
      {"\"$V\" sub p 1 2>/dev/full; echo status=$?", report("sub", "p", "1", "0") + "status=1\n"},
      {"\"$V\" 2>/dev/full; echo status=$?", report("", "", "0", "0") + "status=0\n"},
      {"\"$V\" sub p x 2>/dev/full; echo status=$?",
       " genotype file=sub\n pattern file=p\nstatus=2\n"},
      // Standard output is the genotype file: refused before a byte is
      // written, the file as it was.
      {"echo a > g.txt; \"$V\" g.txt p 1 2>&1 >>g.txt; echo status=$?; cat g.txt",
       " varnholt: error: genotype file g.txt is standard output: the report would be written "
       "into it\nstatus=1\na\n"},
      // Standard error as the file: refused too, said on standard output,
      // or nowhere where that is the file as well.
      {"echo a > g.txt; \"$V\" g.txt p 123456 2>>g.txt; echo status=$?; cat g.txt",
       " varnholt: error: genotype file g.txt is standard error: the messages would be written "
       "into it\nstatus=1\na\n"},
      {"echo a > g.txt; \"$V\" g.txt p 1 >>g.txt 2>&1; echo status=$?; cat g.txt", "status=1\na\n"},
      {"\"$V\" /dev/null p 1 >/dev/null; echo status=$?", "status=0\n"},
      {"echo a > g.txt; ln -s g.txt l.txt; \"$V\" - p 1 <l.txt 2>&1 >>g.txt; echo status=$?; cat "
       "g.txt",
       " varnholt: error: standard input is standard output: the report would be written into "
       "it\nstatus=1\na\n"},
      // The pipe or FIFO that standard output or standard error writes to
      // would be waited on for ever.
      {"{ \"$V\" /dev/stdout p 1 2>&1; echo status=$?; } | cat",
       " varnholt: error: FIFO /dev/stdout is standard output: the report would be written into "
       "it\nstatus=1\n"},
      {"{ \"$V\" /dev/stderr p 1 >/dev/null; echo status=$?; } 2>&1 | cat",
       " varnholt: error: FIFO /dev/stderr is standard error: the messages would be written into "
       "it\nstatus=1\n"},
      {"mkfifo ff; cat ff > got & \"$V\" ff p 1 >ff 2>&1; echo status=$?; wait; cat got",
       "status=1\n varnholt: error: FIFO ff is standard output: the report would be written into "
       "it\n"},
  };
  for (const Stream& c : cases) EXPECT_EQ(shell(c.script, here()).out, c.out) << c.script;
}

TEST_F(Varnholt, LinesOfBothStreamsKeepProgramOrder) {
  Outcome r = shell("\"$V\" g.txt p 2>&1", here());
  std::string lines = report("g.txt", "p", "0", "1");
  lines.insert(lines.rfind(" allocation"),
               " varnholt: warning: created empty genotype file g.txt\n");
  EXPECT_EQ(r.out, usage + lines);
}

TEST_F(Varnholt, MemoryStaysFlatForALongLine) {
  if (emulated) GTEST_SKIP() << "under an emulator, rusage measures the emulator";
  write("small.txt", std::string(2 << 20, '\n'));  // fills the read block, as the long one does
  std::string huge = write("huge.txt", std::string(std::size_t{32} << 20, 'x'));  // one line
  Outcome small = run({program, "small.txt", "p", "1"}, here());
  Outcome big = run({program, huge, "p", "1"}, here());
  EXPECT_EQ(big.out, report(huge, "p", "1", "2"));
  // A program that held the line would need 32 MiB more.
  EXPECT_LE(big.maxrsskb, small.maxrsskb + 1024) << small.maxrsskb;
}

TEST_F(Varnholt, CountsExactlyUnderShortAndFailingReads) {
  if (!preloadable) GTEST_SKIP() << "the read() shim cannot be preloaded into this program";
  struct Fault {
    std::string limit, failafter, na, err;
    std::string shrinkafter = "-1";  // reads before the file is cut to nothing
    std::string content = "a\nb\nc\npartial";
  };
  const std::string readerror =
      " varnholt: error: read error in genotype file g.txt: Input/output error\n";
  const std::string shrank =
      " varnholt: error: genotype file g.txt shrank while it was read: its records are not those "
      "counted\n";
  const Fault cases[] = {
      {"4", "-1", "5", ""},        // a regular file handed out four bytes at a time
      {"4", "3", "4", readerror},  // fails inside "partial": three records completed
      {"4", "1", "3", readerror},    {"-1", "0", "1", readerror},  // fails at once
      {"-1", "1", "4", readerror},    // fails where the end would show: "partial" never ended
      {"4", "-1", "5", shrank, "2"},  // "a\nb\nc\npa" read, then the file is gone
  };
  for (const Fault& c : cases) {
    write("g.txt", c.content);
    Options options = here();
    options.env = shimmed(
        {std::string("LD_PRELOAD=") + VARNHOLT_FAILREAD_NAME, "VARNHOLT_READ_LIMIT=" + c.limit,
         "VARNHOLT_READ_FAILAFTER=" + c.failafter, "VARNHOLT_READ_SHRINKAFTER=" + c.shrinkafter});
    expectrun(run({program, "g.txt", "p", "1"}, options), report("g.txt", "p", "1", c.na), c.err,
              c.err.empty() ? 0 : 1, c.limit + "/" + c.failafter);
  }
}

// A run on a pseudo-terminal with read() slowed by the shim, and what the
// terminal shows of it. When the line is due and what it says is the unit
// tests' (progress_test.cpp); here, what only a real terminal shows.
struct Screen {
  std::string script;
  unsigned short columns;
  std::string drawings;  // r: a text with a rate, d: one without, e: an erase; repeats as one
  std::string shown;     // in the last text drawn
  std::string genotype;  // the genotype file's name in the report
  std::string na;        // the allocation size; none where the run was ended
  std::string after;     // the screen's lines after the report
};

// Each case waits for the line's first second, asleep: the cases of a test
// run side by side, each in a folder of its own.
class Terminal : public Varnholt {
 protected:
  // g.txt is 80 line feeds; the shim hands out one byte a read, each after
  // VARNHOLT_READ_DELAY_MS (17 ms unless a case says otherwise): 1.4 s.
  void expect(const std::vector<Screen>& cases) {
    if (!preloadable) GTEST_SKIP() << "the slow read() shim cannot be preloaded into this program";
    std::vector<std::future<Outcome>> runs;
    for (std::size_t i = 0; i < cases.size(); ++i) {
      std::string folder = dir + "/" + std::to_string(i);
      mkdir(folder.c_str(), 0755);
      write(std::to_string(i) + "/g.txt", std::string(80, '\n'));
      Options options{folder, "", 022, {}, cases[i].columns};
      options.env = shimmed({std::string("SHIM=") + VARNHOLT_FAILREAD_NAME, "VARNHOLT_READ_LIMIT=1",
                             "VARNHOLT_READ_DELAY_MS=17", "TERM=xterm"});
      runs.push_back(std::async(std::launch::async, shell, cases[i].script, options));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) check(cases[i], runs[i].get());
  }
  static void check(const Screen& c, const Outcome& r) {
    std::vector<std::string> texts = drawntexts(r.out);
    std::string drawings, last;
    for (const std::string& text : texts) {
      EXPECT_LT(text.size(), c.columns) << c.script << ": " << text;
      char kind = text.empty() ? 'e' : (text.find("/s") != std::string::npos ? 'r' : 'd');
      if (drawings.empty() || drawings.back() != kind) drawings += kind;
      if (!text.empty()) last = text;
    }
    EXPECT_EQ(drawings, c.drawings) << c.script << ": " << r.out;
    EXPECT_LE(texts.size(), 12u) << c.script << ": " << r.out;  // four a second at the most
    if (c.drawings.empty()) {
      EXPECT_EQ(r.out.find("counting"), std::string::npos) << c.script << ": " << r.out;
    }
    EXPECT_NE(last.find(c.shown), std::string::npos) << c.script << ": " << last;
    if (!c.drawings.empty() && c.drawings.back() != 'e') return;  // left drawn
    std::string expected = report(c.genotype, "p", "1", c.na);
    if (c.na.empty()) expected.erase(expected.rfind(" allocation"));
    EXPECT_EQ(screen(r.out), expected + c.after + (c.after.empty() ? "" : "\n"))
        << c.script << ": " << r.out;
  }
  // The count, slowed.
  static std::string slow(const std::string& delay = "17") {
    return "VARNHOLT_READ_DELAY_MS=" + delay + " LD_PRELOAD=$SHIM \"$V\" g.txt p 1";
  }
  // The count in the foreground, and signals sent to it from beside it:
  // the first after 1.4 s, when the line stands, then one each 0.4 s.
  static std::string signalled(const std::string& signals, const std::string& delay = "30") {
    return "(sleep 1.4; for s in " + signals + "; do kill -$s $(cat pid); sleep 0.4; done) & " +
           "sh -c 'echo $$ > pid; exec env " + slow(delay) + "'; echo status=$?";
  }
};

TEST_F(Terminal, DrawsTheLineOnlyInTheForegroundWhereItFitsAndErasesIt) {
  expect({
      {slow(), 80, "re", " B of 80 B (", "g.txt", "81", ""},
      {"{ echo; sleep 0.4; echo; sleep 0.4; echo; sleep 0.4; echo; } | \"$V\" - p 1", 80, "re",
       " B, ", "-", "5", ""},  // no size
      {"{ dd bs=40 count=1 of=/dev/null 2>/dev/null; VARNHOLT_READ_DELAY_MS=40 LD_PRELOAD=$SHIM "
       "\"$V\" - p 1; } < g.txt",
       80, "re", " B of 40 B (", "-", "41", ""},                 // what is left of it
      {"\"$V\" g.txt p 1", 80, "", "", "g.txt", "81", ""},       // ends at once
      {slow() + " 2>/dev/null", 80, "", "", "g.txt", "81", ""},  // standard error is no terminal
      {"set -m; " + slow() + " & wait", 80, "", "", "g.txt", "81", ""},  // a background job
      {slow(), 30, "de", "counting: ", "g.txt", "81", ""},
      {slow(), 12, "", "", "g.txt", "81", ""},
      {"TERM=dumb " + slow(), 80, "re", "counting: ", "g.txt", "81", ""},  // blanks, no escapes
      // At a dumb terminal blanks cover what is left of a longer text: the
      // rate falls below 100 KiB/s.
      {"export TERM=dumb; { yes | head -c 140000; i=0; while [ $i -lt 6 ]; do sleep 0.3; echo; "
       "i=$((i+1)); done; } | \"$V\" - p 1",
       80, "re", " KiB/s", "-", "70007", ""},
  });
}

TEST_F(Terminal, ErasesTheLineBeforeASignalEndsOrStopsTheRun) {
  expect({
      {signalled("INT"), 80, "re", "counting: ", "g.txt", "", "status=130"},
      {signalled("TERM"), 80, "re", "counting: ", "g.txt", "", "Terminated\nstatus=143"},
      {signalled("HUP"), 80, "re", "counting: ", "g.txt", "", "Hangup\nstatus=129"},
      {"ulimit -c 0; " + signalled("QUIT"), 80, "re", "counting: ", "g.txt", "",
       "Quit\nstatus=131"},
      {"ulimit -c 0; export TERM=dumb; " + signalled("QUIT"), 80, "re", "counting: ", "g.txt", "",
       "Quit\nstatus=131"},
      // Ignored from the start, as under nohup, a signal stays ignored.
      {"trap '' HUP; " + signalled("HUP", "20"), 80, "re", "counting: ", "g.txt", "81", "status=0"},
      // After a stop the first text has no rate: the stop says nothing of it.
      {signalled("TSTP CONT"), 80, "redre", "counting: ", "g.txt", "81", "status=0"},
  });
}

TEST_F(Terminal, LeavesTheLineToTheShellOnceInTheBackground) {
  expect({
      // Narrowed until nothing fits, the text goes at once.
      {"(sleep 1.3; stty cols 12 </dev/tty) & " + signalled("WINCH KILL"), 80, "re",
       "counting: ", "g.txt", "", "Killed\nstatus=137"},
      // Drawn in the foreground, ended in the background, by its end or by a
      // signal: the shell owns the line.
      {"exec bash -c 'set -m; " + slow("25") +
           " & p=$!; (sleep 1.4; kill -STOP $p) & fg %1; bg; wait $p'",
       80, "r", "counting: ", "", "", ""},
      {"exec bash -c 'set -m; " + slow("25") +
           " & p=$!; (sleep 1.4; kill -STOP $p) & fg %1; bg; sleep 0.2; kill -TERM $p; wait $p'",
       80, "r", "counting: ", "", "", ""},
  });
}

// Permission cases need a user who may not read everything: as root they
// run the program through setpriv as nobody.
class Unprivileged : public Varnholt {
 protected:
  void SetUp() override {
    Varnholt::SetUp();
    if (geteuid() != 0) return;  // already unprivileged
    if (access("/usr/bin/setpriv", X_OK) != 0)
      GTEST_SKIP() << "running as root and setpriv is missing";
    // A copy of the program that nobody may surely run.
    std::string copy = dir + "/" + std::filesystem::path(program).filename().string();
    ASSERT_TRUE(std::filesystem::copy_file(program, copy));
    ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
#if VARNHOLT_EMULATED
    // The emulator's script runs the binary beside it.
    ASSERT_TRUE(std::filesystem::copy_file(
        std::filesystem::path(program).parent_path() / "varnholt", dir + "/varnholt"));
    ASSERT_EQ(chmod((dir + "/varnholt").c_str(), 0755), 0);
#endif
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy};
  }
  Outcome as(const std::vector<std::string>& args) {
    std::vector<std::string> argv = prefix.empty() ? std::vector<std::string>{program} : prefix;
    argv.insert(argv.end(), args.begin(), args.end());
    return run(argv, here());
  }
  std::vector<std::string> prefix;
};

TEST_F(Unprivileged, CountsReadOnlyFilesAndLeavesThemUnchanged) {
  std::string path = write("ro.txt", "a\nb\n");
  chmod(path.c_str(), 0444);
  struct stat before, after;
  stat(path.c_str(), &before);
  Outcome r = as({"ro.txt", "p", "1"});
  EXPECT_EQ(r.out, report("ro.txt", "p", "1", "3"));
  EXPECT_EQ(r.err, "");
  stat(path.c_str(), &after);
  EXPECT_EQ(slurp(path), "a\nb\n");
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_mode, before.st_mode);
}

TEST_F(Unprivileged, FailsWhereThePermissionsForbid) {
  chmod(write("secret.txt", "a\n").c_str(), 0200);
  mkdir((dir + "/locked").c_str(), 0555);
  const std::pair<std::string, std::string> cases[] = {
      {"secret.txt", " varnholt: error: cannot open genotype file secret.txt: Permission denied\n"},
      {"locked/new.txt",
       " varnholt: error: cannot create genotype file locked/new.txt: Permission denied\n"},
  };
  for (const auto& [path, err] : cases) {
    expectrun(as({path, "p", "1"}), report(path, "p", "1", "0"), err, 1, path);
  }
  EXPECT_FALSE(exists(dir + "/locked/new.txt"));
  // A device is named as one (devices only root may open).
  for (auto [name, mode, device] : {std::tuple{"null", mode_t{S_IFCHR}, makedev(1, 3)},
                                    std::tuple{"loop", mode_t{S_IFBLK}, makedev(7, 0)}}) {
    if (mknod((dir + "/" + name).c_str(), mode | 0600, device) != 0 || prefix.empty()) continue;
    expectrun(as({name, "p", "1"}), report(name, "p", "1", "0"),
              std::string(" varnholt: error: cannot open device ") + name + ": Permission denied\n",
              1, name);
  }
}

}  // namespace
