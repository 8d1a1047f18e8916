// The pass phrase on a Unix terminal: echo off through termios, restored on Ctrl+C as well.
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "Terminal.h"

namespace archivetool {

namespace {

// The terminal's settings while the pass phrase is read, for the Ctrl+C handler.
termios savedSettings;
volatile sig_atomic_t echoOff = 0;

void restoreAndRaise(int signal) {
  if (echoOff) tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

std::optional<std::string> readPassPhrase(const std::string& prompt, std::string& error) {
  if (!::isatty(STDIN_FILENO)) {
    error = "standard input is not a terminal";
    return std::nullopt;
  }
  if (tcgetattr(STDIN_FILENO, &savedSettings) != 0) {
    error = std::string("cannot read the terminal's settings: ") + std::strerror(errno);
    return std::nullopt;
  }
  termios quiet = savedSettings;
  quiet.c_lflag &= ~tcflag_t(ECHO);
  quiet.c_lflag |= ECHONL;
  using Handler = void (*)(int);
  const Handler oldInt = std::signal(SIGINT, restoreAndRaise);
  const Handler oldTerm = std::signal(SIGTERM, restoreAndRaise);
  const Handler oldQuit = std::signal(SIGQUIT, restoreAndRaise);
  echoOff = 1;
  tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  std::string line;
  bool ended = false;
  for (;;) {
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n' || c == '\r') {
      ended = true;
      break;
    }
    line += c;
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
  echoOff = 0;
  std::signal(SIGINT, oldInt);
  std::signal(SIGTERM, oldTerm);
  std::signal(SIGQUIT, oldQuit);
  if (!ended && line.empty()) {
    std::fputc('\n', stderr);
    error = "no pass phrase was typed";
    return std::nullopt;
  }
  return line;
}

}  // namespace archivetool
