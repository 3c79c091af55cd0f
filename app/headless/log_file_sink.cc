#include "app/headless/log_file_sink.h"

#include <chrono>

#include "app/headless/stderr_sink.h"

namespace tillgate {

LogFileSink::LogFileSink(std::unique_ptr<TraceFile> file, uint64_t limit)
    : file_(std::move(file), limit) {}

void LogFileSink::Event(const EventLine& line) {
  const auto now = std::chrono::system_clock::now();
  const std::string text = FormatEventLine(line, EventLineStyle::kStamped, now);
  std::lock_guard<std::mutex> lock(mutex_);
  const Status written = file_.Append(text);
  if (!written.ok()) {
    failed_ = true;
    return;
  }
  if (failed_) {
    failed_ = false;
    // Lines were lost meanwhile: the reader is told so.
    const std::string gap = FormatEventLine(
        EventLine{
            Severity::kWarning, "event lines were lost: the log could not be written", {}, false},
        EventLineStyle::kStamped, now);
    file_.Append(gap);
  }
}

}  // namespace tillgate
