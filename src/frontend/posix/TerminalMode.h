#pragma once
// TerminalMode: the standard input's local modes changed while the input is
// a terminal: echo off for a password, or echo and line editing off for the
// login dialog's fields, which read key by key. The saved state is put back
// by the destructor, and by a signal that ends the program meanwhile, so the
// shell is never left without echo.

#include <signal.h>
#include <termios.h>

#include <array>

class TerminalMode {
 public:
  // Nothing changes unless `active` and the standard input is a terminal.
  TerminalMode(bool active, tcflag_t local_flags_off);
  TerminalMode(const TerminalMode&) = delete;
  TerminalMode& operator=(const TerminalMode&) = delete;
  ~TerminalMode();

 private:
  static constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  static termios active_saved_;

  static void RestoreAndReraise(int signal_number);
  void RestoreHandlers();

  termios saved_ = {};
  std::array<struct sigaction, 4> previous_ = {};
  bool on_ = false;
};
