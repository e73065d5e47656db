// SPDX-License-Identifier: MIT
#include "progress.h"

#include "progresstext.h"

#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr std::int64_t second = progresssecond;
// A count that ends within a second draws nothing at all; after that the
// line is redrawn at most four times a second, which a slow terminal or a
// remote session takes without lag.
constexpr std::int64_t firstdraw = second;
constexpr std::int64_t redraw = second / 4;
constexpr int terminal = 2;  // standard error

// The rate and the time left are those of the last few seconds, so that a
// stall or a stop long past does not weigh on them: one sample a redraw.
constexpr std::int64_t ratewindow = 4 * second;
static_assert(progresssamples >= 4 * ratewindow / second + 2);

progressschedule schedule;
bool dumb = false;  // a terminal that takes no escape sequence
char line[2 * progresssize + 8];

// Shared with the signal handler, which may run between any two steps of
// a redraw unless the signals are blocked for it.
volatile sig_atomic_t drawn = 0;    // the terminal's current line holds a progress text
volatile sig_atomic_t resumed = 0;  // stopped and continued since the last redraw
char erase[progresssize + 8];       // what takes the drawn text off the line
std::size_t eraselength = 0;

// The signals that end or stop the process while a line is drawn: each
// first takes the line off the terminal.
constexpr int caught[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
constexpr int catches = sizeof caught / sizeof caught[0];
struct sigaction before[catches];
bool installed[catches];

bool foreground() {
  return tcgetpgrp(terminal) == getpgrp();
}

// The columns the line may take now, or 0 where it must not be drawn:
// standard error is no terminal, or this process is not in its foreground
// (a job sent to the background must not draw over the shell's prompt).
int columns() {
  if (isatty(terminal) == 0 || !foreground()) return 0;
#ifdef TIOCGWINSZ
  winsize window{};
  if (ioctl(terminal, TIOCGWINSZ, &window) == 0) return window.ws_col;
#endif
  return 0;
}

// One write() a redraw; like every write to standard error, a failed one
// changes nothing.
void draw(const char* data, std::size_t length) {
  ssize_t ignored = write(terminal, data, length);
  (void)ignored;
}

// Puts back what the signals did before the line was drawn.
void release() {
  for (int i = 0; i < catches; ++i) {
    if (installed[i]) sigaction(caught[i], &before[i], nullptr);
    installed[i] = false;
  }
}

// The line is gone, and the handlers with it: erased where visible is set,
// left alone otherwise (from the background, the shell owns the line).
void takedown(bool visible) {
  if (visible) draw(erase, eraselength);
  drawn = 0;
  release();
}

// Takes the line off the terminal, then lets the signal do what it would
// have done: end the process (with a core for SIGQUIT, where the limits
// allow one), or stop it until it is continued. Only async-signal-safe
// calls; the other caught signals wait meanwhile.
void onsignal(int signal) {
  int saved = errno;
  takedown(drawn != 0 && foreground());
  if (signal == SIGTSTP) resumed = 1;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  (void)raise(signal);
  errno = saved;
}

// Only over the default action: a signal the caller ignores (nohup, a
// background job of a script) stays ignored.
void install() {
  struct sigaction action {};
  action.sa_handler = onsignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : caught) sigaddset(&action.sa_mask, signal);
  for (int i = 0; i < catches; ++i) {
    if (installed[i] || sigaction(caught[i], nullptr, &before[i]) != 0) continue;
    if (before[i].sa_handler != SIG_DFL) continue;
    installed[i] = sigaction(caught[i], &action, nullptr) == 0;
  }
}

// Blocks the caught signals while the line and what erases it change.
void hold(sigset_t* old) {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : caught) sigaddset(&set, signal);
  sigprocmask(SIG_BLOCK, &set, old);
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): a sample is a time and its bytes
void remember(progressschedule* s, std::int64_t t, std::int64_t done) {
  s->newest = (s->newest + 1) % progresssamples;
  s->sampletime[s->newest] = t;
  s->sampledone[s->newest] = done;
  if (s->held < progresssamples) ++s->held;
  auto oldest = [s] { return (s->newest - s->held + 1 + progresssamples) % progresssamples; };
  while (s->held > 1 && t - s->sampletime[oldest()] > ratewindow) --s->held;
}

// Around the text of length bytes at line + 1: what draws it in place of
// the one before, returning that length, and in erase what takes it off
// again, should a signal come or the count end.
// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): the text's length, then the room
std::size_t layout(std::size_t length, int width) {
  line[0] = '\r';
  erase[0] = '\r';
  std::size_t end = 1 + length;
  if (dumb) {
    // No escape sequence: blanks over as much of the older text as was
    // longer, within the width, and blanks over this one to erase it.
    std::size_t older = eraselength > 2 ? eraselength - 2 : 0;
    std::size_t room = static_cast<std::size_t>(width) - 1;
    while (end - 1 < older && end - 1 < room) line[end++] = ' ';
    if (length == 0) line[end++] = '\r';
    std::memset(erase + 1, ' ', length);
    erase[length + 1] = '\r';
    eraselength = length + 2;
  } else {
    // Clear what is left of the older text; the erase clears it all.
    std::memcpy(line + end, "\033[K", 4);
    end += 3;
    std::memcpy(erase + 1, "\033[K", 4);
    eraselength = 4;
  }
  return end;
}

}  // namespace

std::int64_t progressclock() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * second + t.tv_nsec;
}

// NOLINTNEXTLINE(bugprone-easily-swappable-parameters): bytes, then the time, as in every call
void schedulestart(progressschedule* s, std::int64_t total, std::int64_t now) {
  s->total = total;
  s->due = now + firstdraw;
  s->held = 0;
  remember(s, now, 0);
}

bool scheduledue(progressschedule* s, std::int64_t done, std::int64_t now, bool afterstop) {
  if (now < s->due) return false;
  s->due = now + redraw;
  if (afterstop) s->held = 0;
  remember(s, now, done);
  return true;
}

std::size_t scheduletext(const progressschedule& s, int width, char* out) {
  int oldest = (s.newest - s.held + 1 + progresssamples) % progresssamples;
  std::int64_t done = s.sampledone[s.newest];
  return progresstext(done, s.total, done - s.sampledone[oldest],
                      s.sampletime[s.newest] - s.sampletime[oldest], width, out);
}

void progressstart(std::int64_t total, std::int64_t now) {
  schedulestart(&schedule, total, now);
  drawn = 0;
  resumed = 0;
  eraselength = 0;
  // Without escape sequences, blanks overwrite an older, longer text.
  const char* term = std::getenv("TERM");
  dumb = term == nullptr || term[0] == '\0' || std::strcmp(term, "dumb") == 0;
}

void progressupdate(std::int64_t done, std::int64_t now) {
  if (!scheduledue(&schedule, done, now, resumed != 0)) return;
  resumed = 0;
  int width = columns();
  if (width == 0) return;
  sigset_t old;
  hold(&old);
  std::size_t length = scheduletext(schedule, width, line + 1);
  if (length > 0 || drawn != 0) {
    draw(line, layout(length, width));
    drawn = length > 0 ? 1 : 0;
    if (drawn != 0)
      install();
    else
      release();
  }
  sigprocmask(SIG_SETMASK, &old, nullptr);
}

void progressend() {
  if (drawn == 0) return;
  sigset_t old;
  hold(&old);
  // From the background the line is left alone: the shell has written
  // below it since, and a write could stop the process (stty tostop).
  takedown(columns() != 0);
  sigprocmask(SIG_SETMASK, &old, nullptr);
}
