#include "store/journal.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/local_time.h"
#include "store/checksum.h"

namespace tillgate {
namespace {

constexpr char kMagic[4] = {'T', 'G', 'J', '\x1A'};
constexpr uint32_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 8;     // magic, version
constexpr size_t kEntryHeadSize = 8;  // length, checksum

void PutLe32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

uint32_t GetLe32(const char* p) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(p[i]);
  return v;
}

std::string HeaderBytes() {
  std::string header(kMagic, sizeof kMagic);
  PutLe32(&header, kFormatVersion);
  return header;
}

std::string Frames(const std::vector<std::string>& entries) {
  std::string out;
  for (const std::string& e : entries) {
    PutLe32(&out, static_cast<uint32_t>(e.size()));
    PutLe32(&out, Crc32(e));
    out += e;
  }
  return out;
}

// How the bytes of a journal file read.
struct Parsed {
  enum Kind {
    kClean,
    kHeaderCut,   // shorter than the header, but its start: a creation cut short
    kTornTail,    // the last entry is incomplete or fails its checksum
    kNotJournal,  // no journal header
    kNewer,       // a format this program does not know
    kDamaged,     // a bad entry with more bytes after it
  } kind = kClean;
  std::vector<std::string> entries;
  uint64_t good_end = 0;  // where the whole entries end
  uint32_t version = 0;
};

Parsed Parse(const std::string& bytes) {
  Parsed p;
  const std::string header = HeaderBytes();
  if (bytes.size() < kHeaderSize) {
    p.kind = header.compare(0, bytes.size(), bytes) == 0 ? Parsed::kHeaderCut : Parsed::kNotJournal;
    return p;
  }
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    p.kind = Parsed::kNotJournal;
    return p;
  }
  p.version = GetLe32(bytes.data() + 4);
  if (p.version != kFormatVersion) {
    p.kind = p.version > kFormatVersion ? Parsed::kNewer : Parsed::kNotJournal;
    return p;
  }
  uint64_t at = kHeaderSize;
  while (at < bytes.size()) {
    p.good_end = at;
    const uint64_t left = bytes.size() - at;
    if (left < kEntryHeadSize) {
      p.kind = Parsed::kTornTail;
      return p;
    }
    const uint32_t length = GetLe32(bytes.data() + at);
    const uint32_t sum = GetLe32(bytes.data() + at + 4);
    const uint64_t end = at + kEntryHeadSize + length;
    const bool reaches_end = end >= bytes.size();
    if (length == 0 || length > kMaxJournalEntry || end > bytes.size() ||
        Crc32(std::string_view(bytes.data() + at + kEntryHeadSize, length)) != sum) {
      // A write cut short leaves a bad entry only at the very end.
      p.kind = reaches_end ? Parsed::kTornTail : Parsed::kDamaged;
      return p;
    }
    p.entries.emplace_back(bytes.data() + at + kEntryHeadSize, length);
    at = end;
  }
  p.good_end = at;
  return p;
}

Status ReadAll(File* file, std::string* bytes) {
  uint64_t size = 0;
  Status s = file->Size(&size);
  if (!s.ok()) return s;
  bytes->resize(size);
  size_t got = 0;
  s = file->ReadAt(0, bytes->data(), bytes->size(), &got);
  if (!s.ok()) return s;
  bytes->resize(got);
  return Status::kOk;
}

std::string DateTimeText() {
  const CivilTime local = LocalTime(std::chrono::system_clock::now());
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local.year, local.month, local.day,
                local.hour, local.minute, local.second);
  return text;
}

}  // namespace

JournalReading ReadJournalBytes(const std::string& bytes) {
  Parsed parsed = Parse(bytes);
  JournalReading reading;
  reading.damaged = parsed.kind == Parsed::kNotJournal || parsed.kind == Parsed::kNewer ||
                    parsed.kind == Parsed::kDamaged;
  switch (parsed.kind) {
    case Parsed::kClean:
      break;
    case Parsed::kHeaderCut:
      reading.problem = "its header was cut short; it is started afresh";
      break;
    case Parsed::kTornTail:
      reading.problem = "its last entry was cut short by a stop (" +
                        std::to_string(bytes.size() - parsed.good_end) +
                        " bytes); it is cut off at the next start";
      break;
    case Parsed::kNotJournal:
      reading.problem = "is not a journal file; it is kept aside at the next start";
      break;
    case Parsed::kNewer:
      reading.problem = "was written by a newer version of the server (format " +
                        std::to_string(parsed.version) + "); it is kept aside at the next start";
      break;
    case Parsed::kDamaged:
      reading.problem = "is damaged at byte " + std::to_string(parsed.good_end) +
                        "; the entries before it are used and it is kept aside at the next start";
      break;
  }
  reading.entries = std::move(parsed.entries);
  return reading;
}

Journal::Journal(FileSystem* fs, std::string folder)
    : fs_(fs),
      folder_(std::move(folder)),
      path_(folder_ + "/" + kJournalFileName),
      guard_path_(folder_ + "/" + kJournalLockFileName) {}

Journal::~Journal() { Close(); }

void Journal::Close() {
  if (file_) file_->Close();
  file_.reset();
  if (guard_) guard_->Close();
  guard_.reset();
  end_ = 0;
  in_step_ = false;
}

bool Journal::HeldByAnother() const {
  if (IsOpen()) return false;
  bool held = false;
  if (fs_->LockHeld(guard_path_, &held).ok() && held) return true;
  return fs_->LockHeld(path_, &held).ok() && held;
}

Status Journal::TakeGuard() {
  for (int attempt = 0; attempt < 3; ++attempt) {
    Status s = fs_->Open(guard_path_, OpenMode::kReadWriteExclusive, &guard_);
    if (s.code() == Status::kNotFound)
      s = fs_->Create(guard_path_, OpenMode::kReadWriteExclusive, Readers::kOwner, &guard_);
    if (s.code() == Status::kExists) continue;  // made by another server just now
    if (!s.ok()) guard_.reset();
    return s;
  }
  return Status(Status::kBusy, "Resource temporarily unavailable");
}

uint64_t Journal::EncodedSize(const std::vector<std::string>& entries) {
  uint64_t size = kHeaderSize;
  for (const std::string& e : entries) size += kEntryHeadSize + e.size();
  return size;
}

Status Journal::Open(JournalRecovery* recovery) {
  Close();
  *recovery = JournalRecovery();
  Status s = fs_->MakeFolders(folder_);
  if (!s.ok()) return s;
  // The lock file first: a server that holds it may have the journal itself
  // closed for a moment while it rewrites it.
  s = TakeGuard();
  if (!s.ok()) return s;
  s = OpenJournalFile(recovery);
  if (!s.ok()) Close();
  return s;
}

Status Journal::OpenJournalFile(JournalRecovery* recovery) {
  Status s;
  // Another server may put a new file in place between our open and our
  // lock, or start a journal at the same moment: a lock counts only on the
  // file the name leads to.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::unique_ptr<File> file;
    s = fs_->Open(path_, OpenMode::kReadWriteExclusive, &file);
    const bool created = s.code() == Status::kNotFound;
    // Made under its own name, so that only one server can make it; empty,
    // it reads as a journal whose header was cut short.
    if (created) s = fs_->Create(path_, OpenMode::kReadWriteExclusive, Readers::kOwner, &file);
    if (s.code() == Status::kExists) continue;
    if (!s.ok()) return s;
    if (!NamedByPath(file.get())) continue;
    s = OpenExisting(std::move(file), recovery);
    if (s.ok() && created) fs_->SyncFolder(folder_);
    return s;
  }
  return Status(Status::kBusy, "Resource temporarily unavailable");
}

bool Journal::NamedByPath(File* file) {
  FileIdentity held;
  FileIdentity named;
  if (!file->Identity(&held).ok()) return true;  // cannot be told: taken as it is
  return fs_->Identity(path_, &named).ok() && named == held;
}

Status Journal::OpenExisting(std::unique_ptr<File> file, JournalRecovery* recovery) {
  std::string bytes;
  Status s = ReadAll(file.get(), &bytes);
  if (!s.ok()) return s;
  Parsed parsed = Parse(bytes);
  file_ = std::move(file);
  in_step_ = true;
  switch (parsed.kind) {
    case Parsed::kClean:
      end_ = bytes.size();
      break;
    case Parsed::kHeaderCut: {
      // Nothing was ever written after the header: start the file afresh.
      const std::string header = HeaderBytes();
      s = file_->WriteAt(0, header.data(), header.size());
      if (s.ok()) s = file_->Sync();
      if (!s.ok()) {
        Close();
        return s;
      }
      end_ = header.size();
      break;
    }
    case Parsed::kTornTail: {
      end_ = parsed.good_end;
      // Even when the cut fails, appends write over the torn bytes; a
      // rewrite at the next write makes sure none are left behind.
      if (!file_->Truncate(end_).ok() || !file_->Sync().ok()) in_step_ = false;
      recovery->repair = "journal " + path_ + ": its last entry was cut short by a stop (" +
                         std::to_string(bytes.size() - end_) +
                         " bytes), so it was cut off; the entries before it are used";
      recovery->repair_severity = Severity::kWarning;
      break;
    }
    case Parsed::kNotJournal:
    case Parsed::kNewer:
    case Parsed::kDamaged: {
      std::string aside;
      s = KeepAside(bytes, &aside);
      if (s.ok()) s = Rewrite(parsed.entries);
      if (!s.ok()) {
        Close();
        return s;
      }
      std::string what;
      if (parsed.kind == Parsed::kNotJournal) {
        what = "is not a journal file";
      } else if (parsed.kind == Parsed::kNewer) {
        what = "was written by a newer version of the server (format " +
               std::to_string(parsed.version) + ")";
      } else {
        what = "is damaged at byte " + std::to_string(parsed.good_end) + "; the " +
               std::to_string(parsed.entries.size()) + " entries before it are used";
      }
      recovery->repair = "journal " + path_ + " " + what + ": it was kept as " + aside +
                         " and a new journal started";
      recovery->repair_severity = Severity::kError;
      break;
    }
  }
  recovery->entries = std::move(parsed.entries);
  return Status::kOk;
}

Status Journal::KeepAside(const std::string& bytes, std::string* aside) {
  const std::string base = path_ + ".bad-" + DateTimeText();
  for (int n = 1;; ++n) {
    *aside = n == 1 ? base : base + "-" + std::to_string(n);
    std::unique_ptr<File> copy;
    Status s = fs_->Create(*aside, OpenMode::kReadWriteExclusive, Readers::kOwner, &copy);
    if (s.code() == Status::kExists && n < 100) continue;
    if (!s.ok()) return s;
    s = copy->WriteAt(0, bytes.data(), bytes.size());
    if (s.ok()) s = copy->Sync();
    const Status closed = copy->Close();
    if (s.ok()) s = closed;
    if (!s.ok()) fs_->Unlink(*aside);
    return s;
  }
}

Status Journal::Append(const std::vector<std::string>& entries) {
  if (!InStep()) return Status(Status::kError, "Bad file descriptor");
  if (entries.empty()) return Status::kOk;
  const std::string bytes = Frames(entries);
  Status s = file_->WriteAt(end_, bytes.data(), bytes.size());
  if (s.ok()) s = file_->Sync();
  if (!s.ok()) {
    // Whatever part reached the file lies past the end that counts.
    file_->Truncate(end_);
    in_step_ = false;
    return s;
  }
  end_ += bytes.size();
  return Status::kOk;
}

Status Journal::Reopen(uint64_t end, bool in_step) {
  std::unique_ptr<File> file;
  const Status s = fs_->Open(path_, OpenMode::kReadWriteExclusive, &file);
  if (!s.ok()) return s;
  file_ = std::move(file);
  end_ = end;
  in_step_ = in_step;
  return Status::kOk;
}

Status Journal::Rewrite(const std::vector<std::string>& entries) {
  if (!guard_) return Status(Status::kError, "Bad file descriptor");
  const std::string temp = path_ + ".new";
  const std::string bytes = HeaderBytes() + Frames(entries);
  std::unique_ptr<File> fresh;
  Status s = fs_->Create(temp, OpenMode::kReadWriteExclusive, Readers::kOwner, &fresh);
  if (s.code() == Status::kExists) {
    // Left by a rewrite that was cut short: it never counted.
    fs_->Unlink(temp);
    s = fs_->Create(temp, OpenMode::kReadWriteExclusive, Readers::kOwner, &fresh);
  }
  if (!s.ok()) return s;
  s = fresh->WriteAt(0, bytes.data(), bytes.size());
  if (s.ok()) s = fresh->Sync();
  // Some systems (Windows) refuse to move a file that is open, or to put
  // one in the place of a file that is open, so both are closed for the
  // rename and the journal is opened again after it. The journal's own lock
  // goes with its file meanwhile, but the lock file stays held throughout:
  // another server takes that first, so it cannot take the journal in the
  // gap. On POSIX, where open files may be renamed, nothing else changes:
  // the old journal stays whole until the new one replaces it in one step.
  const Status closed = fresh->Close();
  if (s.ok()) s = closed;
  const uint64_t old_end = end_;
  const bool old_in_step = in_step_;
  const bool had_file = file_ != nullptr;
  if (file_) file_->Close();
  file_.reset();
  in_step_ = false;
  if (s.ok()) s = fs_->RenameReplacing(temp, path_);
  if (!s.ok()) {
    fs_->Unlink(temp);
    // The old journal, as it was.
    if (had_file) Reopen(old_end, old_in_step);
    return s;
  }
  // The new file is in place. A folder that will not be synced (some shared
  // file systems refuse it) must not turn a done rewrite into a failure.
  fs_->SyncFolder(folder_);
  // Should it not open again, the next write rewrites it once more.
  return Reopen(bytes.size(), /*in_step=*/true);
}

}  // namespace tillgate
