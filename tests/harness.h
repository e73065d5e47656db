// SPDX-License-Identifier: MIT
// The end-to-end tests' harness: runs the built program as users do, on
// pipes or on a pseudo-terminal, and collects all it prints, its status and
// its peak memory.
#ifndef VARNHOLT_TESTS_HARNESS_H_
#define VARNHOLT_TESTS_HARNESS_H_

#include <gtest/gtest.h>

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
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace varnholttest {

// The program built beside these tests, or the static build of it named
// in VARNHOLT_TEST_PROGRAM.
inline const char* const chosen = std::getenv("VARNHOLT_TEST_PROGRAM");
inline const std::string program = chosen != nullptr ? chosen : VARNHOLT_BINARY;

#if VARNHOLT_EMULATED
constexpr bool emulated = true;  // the program is another processor's, run by an emulator
#else
constexpr bool emulated = false;
#endif

// Whether the read() shim can be preloaded: only a dynamic loader on this
// processor honours LD_PRELOAD, and the static build has none.
inline const bool preloadable = !emulated && chosen == nullptr;

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
// Everything the child needs is made before the fork, so that runs may
// start from several threads at once.
inline Outcome run(const std::vector<std::string>& argv, const Options& options = {}) {
  std::vector<std::string> settings;
  for (char** e = environ; *e != nullptr; ++e) settings.emplace_back(*e);
  for (const std::string& setting : options.env) {
    std::string name = setting.substr(0, setting.find('=') + 1);
    std::erase_if(settings, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    settings.push_back(setting);
  }
  std::vector<char*> args, env;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  for (const std::string& e : settings) env.push_back(const_cast<char*>(e.c_str()));
  args.push_back(nullptr);
  env.push_back(nullptr);
  // One start at a time: a child started from another thread meanwhile
  // would hold this one's pipe or terminal open, and its end unseen.
  static std::mutex starting;
  std::unique_lock<std::mutex> lock(starting);
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
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    if (!options.stdoutpath.empty()) {
      int fd = open(options.stdoutpath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
    } else if (options.columns == 0) {
      dup2(out[1], 1);
    }
    if (options.columns == 0) dup2(err[1], 2);
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  if (options.columns == 0) {
    close(out[1]);
    close(err[1]);
  }
  fcntl(out[0], F_SETFD, FD_CLOEXEC);
  lock.unlock();
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
inline std::vector<std::string> shimmed(std::vector<std::string> settings) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  settings.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                     ":verify_asan_link_order=0");
  settings.push_back(std::string("LD_LIBRARY_PATH=") + VARNHOLT_FAILREAD_DIR);
  return settings;
}

// A pipeline has a time limit of its own: should the program never end,
// timeout ends it and every process beside it, even where the test that
// started it was itself killed.
inline Outcome shell(const std::string& script, const Options& options = {}) {
  return run({"/usr/bin/timeout", "-k", "5", "50", "/bin/sh", "-c",
              "V='" + program + "'; export V\n" + script},
             options);
}

inline const std::string usage =
    " Wrong number of argument.\n"
    " 1-genotype file\n"
    " 2-pattern mat file\n"
    " 3-number of position (SNP/Haplotype)\n";

inline std::string report(const std::string& genotype, const std::string& pattern,
                          const std::string& npos, const std::string& na) {
  auto pad = [](const std::string& v) { return std::string(11 - v.size(), ' ') + v; };
  return " genotype file=" + genotype + "\n pattern file=" + pattern +
         "\n Number of pos= " + pad(npos) + "\n allocation size= " + pad(na) + "\n";
}

// Compares all that a run printed, and its status, with what it should be.
inline void expectrun(const Outcome& r, const std::string& out, const std::string& err, int status,
                      const std::string& name) {
  EXPECT_EQ(r.out, out) << name;
  EXPECT_EQ(r.err, err) << name;
  EXPECT_EQ(r.status, status) << name;
}

inline bool exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

inline std::string slurp(const std::string& path) {
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
  // NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a file's name, then what it holds
  std::string write(const std::string& name, const std::string& content) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  Options here() const { return Options{dir, "", 022, {}}; }
  std::string dir;
};

// What a terminal shows of out: a return goes back to the first column, a
// line feed ends the row, ESC [ K clears the rest of the row; blanks at the
// end of a row do not show.
inline std::string screen(const std::string& out) {
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
inline std::vector<std::string> drawntexts(const std::string& out) {
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

}  // namespace varnholttest

#endif  // VARNHOLT_TESTS_HARNESS_H_
