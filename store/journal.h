#pragma once
// The journal file in the state folder: a short header, then entries, each
// its length, its checksum and its bytes. An append counts once it is synced
// to the disk; a rewrite puts a whole new file in place in one step. What the
// entries mean is the store's business (journal_entries.h); this file only
// keeps them whole.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/event_sink.h"
#include "platform/file_system.h"

namespace tillgate {

inline constexpr char kJournalFileName[] = "journal";
// Beside the journal, locked by the server that holds it for as long as it
// does, even while the journal itself is closed for a rewrite.
inline constexpr char kJournalLockFileName[] = "journal.lock";
// An entry longer than this is taken for damage (a document of 500 rows
// takes about 70 KB).
inline constexpr uint32_t kMaxJournalEntry = 1u << 20;

// What was read from the journal when it was opened.
struct JournalRecovery {
  std::vector<std::string> entries;  // in the order they were written
  // What had to be done to the file to read it (a torn last entry cut, an
  // unreadable file kept aside), as an event line; empty when it read
  // cleanly or was new.
  std::string repair;
  Severity repair_severity = Severity::kWarning;
};

// How a journal file's bytes read, for a look that changes nothing (a
// check beside a running server): no lock taken, nothing repaired.
struct JournalReading {
  // Empty when the file reads cleanly; otherwise what the server does with
  // it at its next start ("its last entry was cut short ...").
  std::string problem;
  // Not merely cut short by a stop: some of it cannot be used.
  bool damaged = false;
  std::vector<std::string> entries;  // the whole entries before any damage
};
JournalReading ReadJournalBytes(const std::string& bytes);

class Journal {
 public:
  // The journal file `folder`/journal; `fs` is not owned.
  Journal(FileSystem* fs, std::string folder);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::string& Path() const { return path_; }
  const std::string& Folder() const { return folder_; }

  // Creates the folder and an empty journal when missing, takes the file's
  // lock and reads every whole entry. A torn last entry is cut off. A file
  // that is not a journal, comes from a newer version or is damaged before
  // its end is copied aside (journal.bad-<date>-<time>) and replaced by a
  // journal of the entries that could be read before the damage. Failure:
  // kLocked when another server holds the journal, else why the folder or
  // file cannot be used; nothing is open then.
  Status Open(JournalRecovery* recovery);
  // This server holds the journal (its lock file), so no other may take it;
  // the file itself may be closed after a rewrite that could not reopen it.
  bool IsOpen() const { return guard_ != nullptr; }
  // Another server holds the journal now (asked without taking it).
  bool HeldByAnother() const;
  // False after a failed append: the file may not end where the entries
  // do, so the next write must be a Rewrite.
  bool InStep() const { return file_ != nullptr && in_step_; }

  // Writes `entries` at the end in one write and syncs them.
  Status Append(const std::vector<std::string>& entries);
  // Replaces the whole file by one holding `entries`: written beside it,
  // synced, renamed over it, the folder synced, and opened again. On
  // failure the old file stays as it was. Both files are closed for the
  // rename (a system may refuse to replace a file that is open); the lock
  // file keeps every other server out meanwhile.
  Status Rewrite(const std::vector<std::string>& entries);
  // Bytes in the file (header included).
  uint64_t Size() const { return end_; }
  // Bytes a file holding `entries` would take.
  static uint64_t EncodedSize(const std::vector<std::string>& entries);
  void Close();

 private:
  Status OpenJournalFile(JournalRecovery* recovery);
  Status OpenExisting(std::unique_ptr<File> file, JournalRecovery* recovery);
  // `file` is the one the journal's name leads to now.
  bool NamedByPath(File* file);
  // A copy of `bytes` beside the journal, named in `*aside`.
  Status KeepAside(const std::string& bytes, std::string* aside);
  // Takes the lock file's lock: kBusy when another server holds it.
  Status TakeGuard();
  // Opens the journal file again after a rewrite closed it, to go on at
  // `end`; the guard kept everyone else away meanwhile.
  Status Reopen(uint64_t end, bool in_step);

  FileSystem* fs_;
  std::string folder_;
  std::string path_;
  std::string guard_path_;
  std::unique_ptr<File> guard_;  // the lock file, held while the journal is ours
  std::unique_ptr<File> file_;
  uint64_t end_ = 0;
  bool in_step_ = false;
};

}  // namespace tillgate
