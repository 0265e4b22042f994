#include "frontend/posix/TerminalMode.h"

#include <unistd.h>

termios TerminalMode::active_saved_ = {};

TerminalMode::TerminalMode(bool active, tcflag_t local_flags_off) {
  if (!active || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios changed = saved_;
  changed.c_lflag &= ~local_flags_off;
  changed.c_cc[VMIN] = 1;
  changed.c_cc[VTIME] = 0;
  active_saved_ = saved_;
  struct sigaction restore = {};
  restore.sa_handler = RestoreAndReraise;
  sigemptyset(&restore.sa_mask);
  restore.sa_flags = SA_RESETHAND;
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &restore, &previous_[i]);
  on_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &changed) == 0;
  if (!on_) RestoreHandlers();
}

TerminalMode::~TerminalMode() {
  if (!on_) return;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
  RestoreHandlers();
}

void TerminalMode::RestoreAndReraise(int signal_number) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &active_saved_);
  ::raise(signal_number);  // SA_RESETHAND: the default action now
}

void TerminalMode::RestoreHandlers() {
  for (size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
}
