#pragma once
// InstallJournal: what the install changes after the web server's stop,
// noted before each change, so that a failure can put the machine back as
// it was. The notes stand in memory and, line by line as they are made, in
// "setup.journal" in the work folder; the old bytes of replaced files are
// kept in its "kept" folder.

#include <string>
#include <vector>

#include "formlib/RunLog.h"
#include "platform/Host.h"

class InstallJournal {
 public:
  InstallJournal(Host& host, RunLog& log) : host_(host), log_(log) {}
  InstallJournal(const InstallJournal&) = delete;
  InstallJournal& operator=(const InstallJournal&) = delete;

  // Makes the journal file and the folder for kept files in `work_folder`
  // (which exists); false, with the reason in the log, when it cannot.
  bool Begin(const std::string& work_folder);

  // Before the folders for a file at `target` are made: those that do not
  // exist yet.
  void BeforeFoldersFor(const std::string& target);
  // Before a new file takes the name `target`: an old file there is kept
  // aside (a second name for it, or a copy where the volume has none).
  // False when the old file could not be kept: it must not be replaced.
  bool BeforePlacing(const std::string& target);
  // The entry noted last by BeforePlacing did not take the place of
  // `target` after all: the note goes, and so does the kept file.
  void NotPlaced(const std::string& target);
  // Before a file is rewritten in place (php.ini): its bytes. False when it
  // cannot be read.
  bool KeepContent(const std::string& path);
  // Before a registry value is written, its key made when missing: the
  // value's state (absent, or its type and data) and the keys of the path
  // that the write makes.
  void KeepRegistryValue(const std::string& key, const std::string& name);

  // Undoes every noted change, the last first, each step in the log. The
  // descriptions of what could not be put back go to `not_restored`; true
  // when everything is back.
  bool Restore(std::vector<std::string>* not_restored);

  // The journal file is closed (no handle stays open across the web
  // server's restart); notes made after it stand in memory only.
  void CloseFile() { journal_.reset(); }

  const std::string& file() const { return journal_path_; }

 private:
  enum class Kind { kFolder, kNewFile, kReplacedFile, kContent, kRegistryValue, kRegistryKey };
  struct Note {
    Kind kind;
    std::string path;   // the file or folder; the registry key; the first key made
    std::string kept;   // the kept file; the deepest folder or key made
    std::string name;   // the registry value's name
    RegValueType type;  // the value's old type; kMissing: it was absent
    std::string bytes;  // kContent: the old bytes; kRegistryValue: the old data
  };
  void Add(Note note, const std::string& line);
  std::string NextKeptName();
  bool CopyFile(const std::string& from, const std::string& to);
  // Undoes one note; false, with the reason in `why` where the host's last
  // error does not give it, when it cannot.
  bool Undo(const Note& note, std::string* why);
  bool UndoRegistryValue(const Note& note, std::string* why);
  bool UndoRegistryKeys(const Note& note, std::string* why);

  Host& host_;
  RunLog& log_;
  std::string kept_folder_;
  std::string journal_path_;
  std::unique_ptr<HostFile> journal_;
  std::vector<Note> notes_;
  int kept_count_ = 0;
  std::string known_folder_;  // the folder BeforeFoldersFor looked at last
};
