#pragma once
// status.json in the state folder: the status board as JSON for monitoring
// tools, replaced in one step (a file beside it written, synced, renamed
// over it) at once and every couple of seconds on a thread of its own, so
// that no line and no store transaction ever waits for it. A reader finds
// the old file or the new one, never a part of one; the time it was
// written tells whether the server still runs. Only the server holding the
// lock file beside it writes it, so that a second server started on the
// same state folder leaves the first one's file alone.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "config/event_sink.h"
#include "engine/lock_file.h"
#include "platform/file_system.h"
#include "store/status_board.h"

namespace tillgate {

inline constexpr char kStatusFileName[] = "status.json";
// Beside it; held by the server that writes it, for as long as it runs.
inline constexpr char kStatusLockName[] = "status.json.lock";

struct StatusFileOptions {
  std::chrono::milliseconds interval{2000};
  long process_id = 0;  // the server's, shown in the file
};

class StatusFile {
 public:
  // Writes `folder`/status.json in `files` from `board` (both must outlive
  // it).
  StatusFile(const StatusBoard& board, FileSystem& files, std::string folder, EventSink* events,
             StatusFileOptions options = {});
  // Stop.
  ~StatusFile();
  StatusFile(const StatusFile&) = delete;
  StatusFile& operator=(const StatusFile&) = delete;

  const std::string& Path() const { return path_; }

  // Writes the file now and then every interval until Stop.
  void Start();
  // Ends the thread and writes the file a last time, saying the server no
  // longer runs, then lets go of the lock. Safe to call twice or without
  // Start.
  void Stop();
  // Replaces the file once. A failure is told once (condition "status
  // file") until a write works again. The file is left to another server
  // while that one holds the lock file, or the journal of this state folder
  // (a warning, told once); it is taken over once the other has gone. True
  // when the file was replaced.
  bool Write(bool running);

 private:
  void Run();
  void Failed(Severity severity, const std::string& text);
  std::string LeftText() const;

  const StatusBoard& board_;
  std::string folder_;
  std::string path_;
  EventSink* events_;
  StatusFileOptions options_;
  FileSystem* fs_;
  LockFile lock_;
  WallTime started_;
  std::string failure_;  // the one said, until a write works

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

}  // namespace tillgate
