// SPDX-License-Identifier: MIT
// Runs the built program as users do and checks every byte it prints, its
// exit status and what it leaves in the file system.
#include <gtest/gtest.h>

#include <elf.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The program built beside these tests, or another build of it (the static
// one) named in VARNHOLT_TEST_PROGRAM.
const char* const chosen = std::getenv("VARNHOLT_TEST_PROGRAM");
const std::string program = chosen != nullptr ? chosen : VARNHOLT_BINARY;

#if VARNHOLT_EMULATED
constexpr bool emulated = true;  // the program is another processor's, run by an emulator
#else
constexpr bool emulated = false;
#endif

// Whether the program file, a 32-bit or a 64-bit ELF file, asks for a
// dynamic loader, which alone honours LD_PRELOAD.
template <typename Header, typename Segment>
bool dynamicelf(std::ifstream& in) {
  Header header{};
  in.seekg(0);
  in.read(reinterpret_cast<char*>(&header), sizeof header);
  for (int i = 0; in && i < header.e_phnum; ++i) {
    Segment segment{};
    in.seekg(static_cast<std::streamoff>(header.e_phoff +
                                         static_cast<std::uint64_t>(i) * header.e_phentsize));
    in.read(reinterpret_cast<char*>(&segment), sizeof segment);
    if (in && segment.p_type == PT_INTERP) return true;
  }
  return false;
}

bool dynamic(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char ident[EI_NIDENT] = {};
  in.read(reinterpret_cast<char*>(ident), sizeof ident);
  if (ident[EI_CLASS] == ELFCLASS32) return dynamicelf<Elf32_Ehdr, Elf32_Phdr>(in);
  return dynamicelf<Elf64_Ehdr, Elf64_Phdr>(in);
}

struct Outcome {
  std::string out, err;
  int status = -1;  // exit status, or -1 when killed
  bool timedout = false;
  long maxrsskb = 0;
};

struct Options {
  std::string cwd;
  std::string stdoutpath;  // send standard output to this file instead
  mode_t umask = 022;
  std::vector<std::string> env;  // NAME=VALUE settings added for this run
  unsigned short columns = 0;    // both streams to a pseudo-terminal this wide, into out
};

// Starts argv[0] with argv, collects both streams, waits at most 60 s.
Outcome run(const std::vector<std::string>& argv, const Options& options = {}) {
  int out[2] = {-1, -1}, err[2] = {-1, -1};
  winsize window{24, options.columns, 0, 0};
  pid_t pid = options.columns > 0 ? forkpty(&out[0], nullptr, nullptr, &window) : -1;
  if (options.columns == 0) {
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) std::abort();
    pid = fork();
  }
  if (pid == 0) {
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    umask(options.umask);
    for (const std::string& setting : options.env) putenv(const_cast<char*>(setting.c_str()));
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    if (!options.stdoutpath.empty()) {
      int fd = open(options.stdoutpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
    } else if (options.columns == 0) {
      dup2(out[1], 1);
    }
    if (options.columns == 0) dup2(err[1], 2);
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  if (options.columns == 0) {
    close(out[1]);
    close(err[1]);
  }
  Outcome result;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = options.columns > 0 ? 1 : 2;
  int waited = 0;
  while (open > 0) {
    int ready = poll(fds, 2, 1000);
    if (ready == 0 && ++waited >= 60) {
      kill(pid, SIGKILL);
      result.timedout = true;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& p : fds)
    if (p.fd >= 0) close(p.fd);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.maxrsskb = usage.ru_maxrss;
  return result;
}

// The settings of a run that preloads the read() shim, added to these.
// LD_PRELOAD splits on blanks, so it names the shim alone and the loader
// finds it in its folder, which may have any name. The sanitizer runtime
// would otherwise insist on coming first among preloaded libraries.
std::vector<std::string> shimmed(std::vector<std::string> settings) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  settings.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                     ":verify_asan_link_order=0");
  settings.push_back(std::string("LD_LIBRARY_PATH=") + VARNHOLT_FAILREAD_DIR);
  return settings;
}

// A pipeline has a time limit of its own: should the program never end,
// timeout ends it and every process beside it, even where the test that
// started it was itself killed.
Outcome shell(const std::string& script, const Options& options = {}) {
  return run({"/usr/bin/timeout", "-k", "5", "50", "/bin/sh", "-c",
              "V='" + program + "'; export V\n" + script},
             options);
}

const std::string usage =
    " Wrong number of argument.\n"
    " 1-genotype file\n"
    " 2-pattern mat file\n"
    " 3-number of position (SNP/Haplotype)\n";

std::string report(const std::string& genotype, const std::string& pattern, const std::string& npos,
                   const std::string& na) {
  auto pad = [](const std::string& v) { return std::string(11 - v.size(), ' ') + v; };
  return " genotype file=" + genotype + "\n pattern file=" + pattern +
         "\n Number of pos= " + pad(npos) + "\n allocation size= " + pad(na) + "\n";
}

// Compares all that a run printed, and its status, with what it should be.
void expectrun(const Outcome& r, const std::string& out, const std::string& err, int status,
               const std::string& name) {
  EXPECT_EQ(r.out, out) << name;
  EXPECT_EQ(r.err, err) << name;
  EXPECT_EQ(r.status, status) << name;
}

bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Varnholt : public testing::Test {
 protected:
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/varnholt-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    chmod(dir.c_str(), 0755);  // reachable by the unprivileged runs
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string write(const std::string& name, const std::string& content) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  Options here() const { return Options{dir, "", 022, {}}; }
  std::string dir;
};

struct Case {
  std::vector<std::string> args;  // after the program name
  std::string out, err;
  int status;
};

// Each case runs in a fresh folder holding "three.txt" (three lines) and
// "empty.txt" (no bytes).
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
  // The reading of the number itself is the unit tests' (field_test.cpp):
  // here, what a run prints for each kind of number.
  const Case cases[] = {
      {{"three.txt", "p.mat", "250"}, report("three.txt", "p.mat", "250", "4"), "", 0},
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
      {{"three.txt", "p"}, report("three.txt", "p", "0", "4"), usage, 0},
      {{}, report("", "", "0", "0"), usage, 0},
      {{"", "", ""}, report("", "", "0", "0"), emptypath, 1},
      {{"   ", "p", "1"}, report("", "p", "1", "0"), emptypath, 1},
      {{"three.txt", "p", "12.5"},
       " genotype file=three.txt\n pattern file=p\n",
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
      // Beside other arguments, --help and --version are names.
      {{"--help", "p", "1"}, report("--help", "p", "1", "1"), created + "--help\n", 0},
      {{"--version", "p"}, report("--version", "p", "0", "1"), usage + created + "--version\n", 0},
  };
  ASSERT_EQ(symlink("three.txt", (dir + "/tothree.txt").c_str()), 0);
  for (const Case& c : cases) {
    write("three.txt", "a\nb\nc\n");
    write("empty.txt", "");
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    expectrun(run(argv, here()), c.out, c.err, c.status, c.args.empty() ? "(none)" : c.args.back());
  }
  EXPECT_TRUE(exists(dir + "/a\nb"));  // under its real name
  EXPECT_FALSE(exists(dir + "/-"));
}

TEST_F(Varnholt, HelpAndVersionAloneCreateNothing) {
  Outcome help = run({program, "--help"}, here());
  EXPECT_EQ(help.out.rfind("Usage: varnholt GENOTYPEFILE PATTERNFILE NPOS\n", 0), 0u);
  EXPECT_NE(help.out.find("varnholt(1)"), std::string::npos);
  Outcome version = run({program, "--version"}, here());
  EXPECT_EQ(version.out, "varnholt " VARNHOLT_VERSION "\n");
  Outcome shorthelp = run({program, "-h"}, here());
  EXPECT_EQ(shorthelp.out, help.out);
  for (const Outcome& r : {help, version, shorthelp}) {
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(Varnholt, RunsOnTheBundledExample) {
  Outcome r = run({program, VARNHOLT_EXAMPLES "/genotypes.txt", "patterns.mat", "250"});
  EXPECT_EQ(r.out, report(VARNHOLT_EXAMPLES "/genotypes.txt", "patterns.mat", "250", "121"));
  EXPECT_EQ(r.status, 0);
}

TEST_F(Varnholt, CreatesAMissingGenotypeFileEmptyWithMode0644) {
  Outcome r = run({program, "new.txt", "p", "1"}, here());
  EXPECT_EQ(r.out, report("new.txt", "p", "1", "1"));
  EXPECT_EQ(r.err, " varnholt: warning: created empty genotype file new.txt\n");
  EXPECT_EQ(r.status, 0);
  struct stat st;
  ASSERT_EQ(stat((dir + "/new.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
  // Under another umask the mode follows it.
  run({program, "other.txt", "p", "1"}, Options{dir, "", 077, {}});
  ASSERT_EQ(stat((dir + "/other.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  // A second run counts the file it created, and has nothing to warn of.
  expectrun(run({program, "new.txt", "p", "1"}, here()), report("new.txt", "p", "1", "1"), "", 0,
            "again");
}

TEST_F(Varnholt, AMalformedNumberStopsBeforeTheGenotypeFileIsTouched) {
  Outcome r = run({program, "never.txt", "p", "x"}, here());
  EXPECT_EQ(r.status, 2);
  EXPECT_FALSE(exists(dir + "/never.txt"));
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
      {"\"$V\" /proc/version p 1", report("/proc/version", "p", "1", "2")},
      // Past 2 GiB, where a 32-bit build needs 64-bit file offsets.
      {"\"$V\" sparse p 1", report("sparse", "p", "1", "2")},
      // An endless stream of records ends once no allocation size can fit.
      {"yes '' | \"$V\" - p 1 2>&1; echo status=$?",
       " genotype file=-\n pattern file=p\n Number of pos=           1\n"
       " varnholt: error: too many records for a 32-bit allocation size in standard input\n"
       "status=1\n"},
      // Compressed or binary bytes are counted, but no consumer can use that
      // count: the run fails, saying how to count the records.
      {"printf '\\037\\213\\010\\000\\n' | \"$V\" - p 1 2>&1; echo status=$?",
       " genotype file=-\n pattern file=p\n Number of pos=           1\n varnholt: error: "
       "standard input is gzip-compressed, not text: its line feeds are not records\n varnholt: "
       "to count its records, put gzip -dc before the pipe, under set -o pipefail\n"
       " allocation size=           2\nstatus=1\n"},
      // The advice runs the program as it was started: V here.
      {"printf 'BZh91AY&SY\\n' > g.bz2; \"$V\" g.bz2 p 1 >out 2>&1; echo status=$? >>out; "
       "sed 's/&& .* g p 1$/\\&\\& V g p 1/' out",
       " genotype file=g.bz2\n pattern file=p\n Number of pos=           1\n varnholt: error: "
       "genotype file g.bz2 is bzip2-compressed, not text: its line feeds are not records\n"
       " varnholt: to count its records, run: (set -C; exec >g || exit; bzip2 -dc g.bz2 || "
       "{ rm -f g; exit 1; }) && V g p 1\n allocation size=           2\nstatus=1\n"},
      {"printf 'l\\033\\001\\000' > g.bed; \"$V\" g.bed p 1 2>&1; echo status=$?",
       " genotype file=g.bed\n pattern file=p\n Number of pos=           1\n varnholt: error: "
       "genotype file g.bed is a PLINK 1 .bed file, not text: its line feeds are not records\n"
       " varnholt: to count its records, make a text file of it with plink --bfile and --recode\n"
       " allocation size=           2\nstatus=1\n"},
      // The advice, pasted into bash, writes the records of that very file
      // beside it and counts them, and runs nothing else, whatever its name
      // holds. Where the archive is cut short it fails and leaves nothing;
      // where the text file exists it fails and leaves it as it was.
      {R"sh(: > x.gz
advice() { "$V" "$1" p 1 2>&1 >/dev/null | sed -n 's/^ varnholt: to count its records, run: //p'; }
for name in 'a;rm -f x.gz' 'my geno.gz' "it's.gz" '$(rm x.gz)' '`rm x.gz`' -h.gz \
  "$(printf 'tab\tb.gz')" "$(printf 'evil\342\200\256zg.gz')" noext; do
  printf 'a\nb\nc\n' | gzip > "./$name"
  bash -c "$(advice "$name")" | sed -n 's/^ allocation size= *//p'
done; ls noext.txt x.gz
seq 1 20000 | gzip | head -c 2000 > cut.gz
bash -c "$(advice cut.gz)" 2>/dev/null; echo "cut: $? $(ls cut*)"
echo kept > kept; echo a | gzip > kept.gz
bash -c "$(advice kept.gz)" 2>/dev/null; echo "exists: $? $(cat kept)")sh",
       "4\n4\n4\n4\n4\n4\n4\n4\n4\nnoext.txt\nx.gz\ncut: 1 cut.gz\nexists: 1 kept\n"},
  };
  ASSERT_EQ(truncate(write("sparse", "").c_str(), (1LL << 31) + 1), 0);
  struct stat st;
  ASSERT_EQ(stat((dir + "/sparse").c_str(), &st), 0);
  bool sparse = st.st_blocks < 1024;  // else the file system wrote 2 GiB of zeros
  for (const Stream& c : cases) {
    // Only a 32-bit build can get that wrong; the armhf build runs it.
    bool big = c.script.find("sparse") != std::string::npos;
    if (big && (!sparse || sizeof(std::size_t) > 4)) continue;
    // Under an emulator the advice names the other processor's program
    // itself, which the shell cannot start.
    if (emulated && c.script.find("advice()") != std::string::npos) continue;
    expectrun(shell(c.script, here()), c.expected, "", 0, c.script);
  }
}

TEST_F(Varnholt, NeverOpensThePatternFile) {
  // Opening a FIFO that has no writer would block for ever.
  mkfifo((dir + "/pattern").c_str(), 0644);
  write("g.txt", "x\n");
  Outcome r = run({program, "g.txt", "pattern", "3"}, here());
  EXPECT_FALSE(r.timedout);
  EXPECT_EQ(r.out, report("g.txt", "pattern", "3", "2"));
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
      {"echo a > g.txt; ln -s g.txt l.txt; \"$V\" - p 1 <l.txt 2>&1 >>g.txt; echo status=$?; cat "
       "g.txt",
       " varnholt: error: standard input is standard output: the report would be written into "
       "it\nstatus=1\na\n"},
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
  std::string huge = dir + "/huge.txt";
  ASSERT_EQ(truncate(write("huge.txt", "").c_str(), 64L << 20), 0);  // sparse: no line feed at all
  Outcome small = run({program, "small.txt", "p", "1"}, here());
  Outcome big = run({program, huge, "p", "1"}, here());
  EXPECT_EQ(big.out, report(huge, "p", "1", "2"));
  // A program that held the line would need 64 MiB more.
  EXPECT_LE(big.maxrsskb, small.maxrsskb + 1024) << small.maxrsskb;
}

TEST_F(Varnholt, CountsExactlyUnderShortAndFailingReads) {
  if (emulated) GTEST_SKIP() << "the read() shim cannot be preloaded into an emulated program";
  if (!dynamic(program)) GTEST_SKIP() << "a static program has no loader to preload the shim";
  struct Fault {
    std::string limit, failafter, na, err;
    std::string shrinkafter = "-1";  // reads before the file is cut to nothing
  };
  const std::string readerror =
      " varnholt: error: read error in genotype file g.txt: Input/output error\n";
  const std::string shrank =
      " varnholt: error: genotype file g.txt shrank while it was read: its records are not those "
      "counted\n";
  const Fault cases[] = {
      {"4", "-1", "5", ""},  // a regular file handed out four bytes at a time
      {"1", "-1", "5", ""},
      {"4", "3", "4", readerror},  // fails inside "partial": three records completed
      {"4", "1", "3", readerror},
      {"-1", "0", "1", readerror},    // fails at once
      {"-1", "1", "4", readerror},    // fails where the end would show: "partial" never ended
      {"4", "-1", "5", shrank, "2"},  // "a\nb\nc\npa" read, then the file is gone
  };
  for (const Fault& c : cases) {
    write("g.txt", "a\nb\nc\npartial");
    Options options = here();
    options.env = shimmed(
        {std::string("LD_PRELOAD=") + VARNHOLT_FAILREAD_NAME, "VARNHOLT_READ_LIMIT=" + c.limit,
         "VARNHOLT_READ_FAILAFTER=" + c.failafter, "VARNHOLT_READ_SHRINKAFTER=" + c.shrinkafter});
    expectrun(run({program, "g.txt", "p", "1"}, options), report("g.txt", "p", "1", c.na), c.err,
              c.err.empty() ? 0 : 1, c.limit + "/" + c.failafter);
  }
}

// What a terminal shows of out: a return goes back to the first column, a
// line feed ends the row, ESC [ K clears the rest of the row; blanks at the
// end of a row do not show.
std::string screen(const std::string& out) {
  std::string shown, row;
  std::size_t column = 0;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == '\r') {
      column = 0;
    } else if (out[i] == '\n') {
      shown += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
      row.clear();
      column = 0;
    } else if (out.compare(i, 3, "\033[K") == 0) {
      row.resize(column);
      i += 2;
    } else {
      if (column < row.size())
        row[column] = out[i];
      else
        row += out[i];
      ++column;
    }
  }
  return shown + row;
}

// The progress texts drawn in out, in order. Each begins at a carriage
// return that starts no new line and ends at ESC [ K or, at a dumb
// terminal, at the next such return; the blanks at its end only cover an
// older text, and an empty one is an erase.
std::vector<std::string> drawntexts(const std::string& out) {
  std::vector<std::string> texts;
  for (std::size_t at = out.find('\r'); at != std::string::npos;) {
    std::size_t next = out.find('\r', at + 1);
    std::size_t end = std::min(out.find("\033[K", at), next);
    bool closed = end != std::string::npos && (out[end] == '\033' || out[end + 1] != '\n');
    if (out[at + 1] != '\n' && closed) {
      std::string text = out.substr(at + 1, end - at - 1);
      texts.push_back(text.substr(0, text.find_last_not_of(' ') + 1));
    }
    at = next;
  }
  return texts;
}

// A run on a pseudo-terminal with read() slowed by the shim, and what the
// terminal shows of it.
struct Terminal {
  std::string script;
  unsigned short columns;
  std::string drawings;  // r: a text with a rate, d: one without, e: an erase; repeats as one
  std::string shown;     // in the last text drawn
  std::string genotype;  // the genotype file's name in the report
  std::string na;        // the allocation size; none where the run was ended
  std::string after;     // the screen's lines after the report
  std::size_t most = 8;  // texts drawn at the most: four a second
};

// The progress line's cases run side by side, a test each group: each case
// waits for the line's first second.
class Progress : public Varnholt {
 protected:
  // g.txt is 80 line feeds; the shim hands out one byte a read, each after
  // VARNHOLT_READ_DELAY_MS (17 ms unless a case says otherwise): 1.4 s.
  void expect(const std::vector<Terminal>& cases) {
    if (emulated)
      GTEST_SKIP() << "the slow read() shim cannot be preloaded into an emulated program";
    if (!dynamic(program)) GTEST_SKIP() << "a static program has no loader to preload the shim";
    write("g.txt", std::string(80, '\n'));
    Options options = here();
    options.env = shimmed({std::string("SHIM=") + VARNHOLT_FAILREAD_NAME, "VARNHOLT_READ_LIMIT=1",
                           "VARNHOLT_READ_DELAY_MS=17", "TERM=xterm"});
    for (const Terminal& c : cases) {
      options.columns = c.columns;
      Outcome r = shell(c.script, options);
      std::vector<std::string> texts = drawntexts(r.out);
      std::string drawings, last;
      for (const std::string& text : texts) {
        EXPECT_LT(text.size(), c.columns) << c.script << ": " << text;
        char kind = text.empty() ? 'e' : (text.find("/s") != std::string::npos ? 'r' : 'd');
        if (drawings.empty() || drawings.back() != kind) drawings += kind;
        if (!text.empty()) last = text;
      }
      EXPECT_EQ(drawings, c.drawings) << c.script << ": " << r.out;
      EXPECT_LE(texts.size(), c.most) << c.script << ": " << r.out;
      if (c.drawings.empty()) {
        EXPECT_EQ(r.out.find("counting"), std::string::npos) << c.script << ": " << r.out;
      }
      EXPECT_NE(last.find(c.shown), std::string::npos) << c.script << ": " << last;
      if (!c.drawings.empty() && c.drawings.back() != 'e') continue;  // left drawn
      std::string expected = report(c.genotype, "p", "1", c.na);
      if (c.na.empty()) expected.erase(expected.rfind(" allocation"));
      EXPECT_EQ(screen(r.out), expected + c.after + (c.after.empty() ? "" : "\n"))
          << c.script << ": " << r.out;
    }
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
  // A pipe that sends 293 KiB at once, then a line feed every half second,
  // until the burst has left the rate's four seconds.
  const std::string slowing =
      "{ head -c 300000 /dev/zero; i=0; while [ $i -lt 9 ]; do sleep 0.5; echo; i=$((i+1)); "
      "done; } | \"$V\" - p 1";
};

TEST_F(Progress, DrawsOnlyAfterASecondAtMostFourTimesASecondAndErasesIt) {
  expect({
      // Redrawn every quarter of a second, not on every read: 1 a 17 ms.
      {slow(), 80, "re", " B of 80 B (", "g.txt", "81", "", 5},
      {"{ echo; sleep 0.4; echo; sleep 0.4; echo; sleep 0.4; echo; } | \"$V\" - p 1", 80, "re",
       " B, ", "-", "5", ""},  // no size
      {"LD_PRELOAD=$SHIM \"$V\" - p 1 < g.txt", 80, "re", " B of 80 B (", "-", "81", ""},
      {"{ dd bs=40 count=1 of=/dev/null 2>/dev/null; VARNHOLT_READ_DELAY_MS=40 LD_PRELOAD=$SHIM "
       "\"$V\" - p 1; } < g.txt",
       80, "re", " B of 40 B (", "-", "41", ""},            // what is left of it
      {"\"$V\" g.txt p 1", 80, "", "", "g.txt", "81", ""},  // ends at once
      {slow("8"), 80, "", "", "g.txt", "81", ""},           // ends within a second
  });
}

TEST_F(Progress, DrawsOnlyInTheForegroundOfATerminalThatHasRoom) {
  expect({
      {slow() + " 2>/dev/null", 80, "", "", "g.txt", "81", ""},  // standard error is no terminal
      {"set -m; " + slow() + " & wait", 80, "", "", "g.txt", "81", ""},  // a background job
      {slow(), 30, "de", "counting: ", "g.txt", "81", ""},
      {slow(), 12, "", "", "g.txt", "81", ""},
      {"TERM=dumb " + slow(), 80, "re", "counting: ", "g.txt", "81", ""},  // blanks, no escapes
  });
}

// The rate of the last seconds: bytes a second by the end. At a dumb
// terminal blanks cover what is left of the longer text of before.
TEST_F(Progress, ShowsTheRateOfTheLastFourSeconds) {
  expect({{slowing, 80, "re", " B/s", "-", "10", "", 20}});
}

TEST_F(Progress, CoversALongerTextWithBlanksAtADumbTerminal) {
  expect({{"export TERM=dumb; " + slowing, 80, "re", " B/s", "-", "10", "", 20}});
}

TEST_F(Progress, ErasesTheLineBeforeASignalEndsTheRun) {
  expect({
      {signalled("INT"), 80, "re", "counting: ", "g.txt", "", "status=130"},
      {signalled("TERM"), 80, "re", "counting: ", "g.txt", "", "Terminated\nstatus=143"},
      {signalled("HUP"), 80, "re", "counting: ", "g.txt", "", "Hangup\nstatus=129"},
      {"ulimit -c 0; " + signalled("QUIT"), 80, "re", "counting: ", "g.txt", "",
       "Quit\nstatus=131"},
      {"ulimit -c 0; export TERM=dumb; " + signalled("QUIT"), 80, "re", "counting: ", "g.txt", "",
       "Quit\nstatus=131"},
  });
}

TEST_F(Progress, KeepsIgnoredSignalsAndDrawsAgainAfterAStop) {
  expect({
      // Ignored from the start, as under nohup, a signal stays ignored.
      {"trap '' HUP; " + signalled("HUP", "20"), 80, "re", "counting: ", "g.txt", "81", "status=0"},
      // After a stop the first text has no rate: the stop says nothing of it.
      {signalled("TSTP CONT"), 80, "redre", "counting: ", "g.txt", "81", "status=0"},
  });
}

TEST_F(Progress, LeavesTheLineToTheShellOnceInTheBackground) {
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

TEST_F(Varnholt, LosesNoRecordFromAPipeFedInPiecesOrAStoppedRun) {
  Outcome r = shell(
      "i=0; while [ $i -lt 30 ]; do printf 'ab'; sleep 0.01; printf 'c\\n'; i=$((i+1)); done | "
      "\"$V\" /dev/stdin p 1",
      here());
  EXPECT_EQ(r.out, report("/dev/stdin", "p", "1", "31"));
  // Stopped and continued while it waits on a slow FIFO.
  r = shell(
      "mkfifo slow; \"$V\" slow p 1 > out.txt & pid=$!; exec 3>slow\n"
      "printf 'a\\nb\\n' >&3; sleep 0.2; kill -STOP $pid; sleep 0.2; printf 'c\\n' >&3\n"
      "sleep 0.2; kill -CONT $pid; sleep 0.2; printf 'd' >&3; exec 3>&-\n"
      "wait $pid; echo status=$?; cat out.txt",
      here());
  EXPECT_EQ(r.out, "status=0\n" + report("slow", "p", "1", "5"));
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
}

}  // namespace
