#pragma once
// InstallOutcome: how far one run's install came, what stopped it and why.
// The install sequence and the version gate set it as they go; the wizard
// tells the exit status from it, and a "/check" run its last line.

#include <string>

class InstallOutcome {
 public:
  // The run has come to its first change of the machine (the web server's
  // stop): a failure from here on leaves it changed.
  void MarkChangesBegun() { changes_begun_ = true; }
  bool changes_begun() const { return changes_begun_; }
  // The server already runs the version this package installs, and the
  // re-install was not asked for: nothing to do.
  void MarkAlreadyCurrent() { already_current_ = true; }
  bool already_current() const { return already_current_; }
  // The install was stopped by a No to a question.
  void MarkStoppedByAnswer() { stopped_by_answer_ = true; }
  bool stopped_by_answer() const { return stopped_by_answer_; }
  // What a failure after the first change left: restored as it was, not
  // completely restored, or (the module record) deliberately left.
  enum class Restore { kNone, kRestored, kIncomplete, kNotRestored };
  void MarkRestore(Restore restore) { restore_ = restore; }
  Restore restore() const { return restore_; }
  // Why the install did not go ahead: the text of the box that told the
  // user (with the answer to a question), or of the fault raised.
  void NoteReason(const std::string& reason) { reason_ = reason; }
  const std::string& reason() const { return reason_; }

 private:
  bool changes_begun_ = false;
  bool stopped_by_answer_ = false;
  bool already_current_ = false;
  Restore restore_ = Restore::kNone;
  std::string reason_;
};
