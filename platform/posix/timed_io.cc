#include "platform/posix/timed_io.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tillgate {
namespace {

using Nanos = int64_t;
constexpr Nanos kNanosPerMs = 1'000'000;

Nanos Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return Nanos{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

timespec ToTimespec(Nanos span) {
  if (span < 0) span = 0;
  return timespec{static_cast<time_t>(span / 1'000'000'000),
                  static_cast<long>(span % 1'000'000'000)};
}

enum class WaitOutcome { kReady, kTimedOut, kHangUp, kError };

// Waits until `fd` reports `events` or `deadline` passes; EINTR is retried.
WaitOutcome WaitFor(int fd, short events, Nanos deadline, int* error) {
  for (;;) {
    Nanos left = deadline - Now();
    if (left <= 0) return WaitOutcome::kTimedOut;
    pollfd pfd{fd, events, 0};
    timespec ts = ToTimespec(left);
    int rc = ppoll(&pfd, 1, &ts, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return WaitOutcome::kError;
    }
    if (rc == 0) continue;  // loop re-checks the deadline
    if (pfd.revents & POLLNVAL) {
      *error = EBADF;
      return WaitOutcome::kError;
    }
    // Checked before readiness: a hung-up terminal also reports itself
    // readable, and reading it would spin on end-of-file. The caller has
    // just drained what was there.
    if (pfd.revents & (POLLHUP | POLLERR)) return WaitOutcome::kHangUp;
    if (pfd.revents & events) return WaitOutcome::kReady;
  }
}

Status HangUp(const char* operation, int error) {
  std::string message = std::string(operation) + ": line hung up";
  if (error != 0) message += std::string(" (") + std::strerror(error) + ")";
  return Status(Status::kHangUp, std::move(message), error);
}

}  // namespace

// A hung-up terminal fails with EIO and reports POLLHUP.
Status TransferFailure(int fd, int error, const char* operation) {
  if (error == ENXIO || error == ENODEV) return HangUp(operation, error);
  if (error == EIO) {
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR)))
      return HangUp(operation, error);
  }
  return StatusFromErrno(error, operation);
}

Status TimedRead(int fd, uint8_t* buffer, size_t count, const ReadTimeouts& timeouts, size_t* got,
                 const ReadTarget& target) {
  *got = 0;
  const Nanos total_deadline = Now() + Nanos(TotalReadMs(timeouts, count)) * kNanosPerMs;
  Nanos interval_deadline = -1;  // armed by the first byte
  while (*got < count) {
    const size_t wanted = target ? std::min(count, target(buffer, *got)) : count;
    if (*got >= wanted) break;
    ssize_t n = read(fd, buffer + *got, wanted - *got);
    if (n > 0) {
      *got += static_cast<size_t>(n);
      interval_deadline = Now() + Nanos(timeouts.interval_ms) * kNanosPerMs;
      continue;
    }
    // No data reads as 0 (VMIN = VTIME = 0) or EAGAIN; a hang-up shows in
    // the wait below.
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return TransferFailure(fd, errno, "read");
    Nanos deadline = total_deadline;
    if (interval_deadline >= 0 && interval_deadline < deadline) deadline = interval_deadline;
    int error = 0;
    switch (WaitFor(fd, POLLIN, deadline, &error)) {
      case WaitOutcome::kReady:
        break;
      case WaitOutcome::kTimedOut:
        return Status::Ok();
      case WaitOutcome::kHangUp:
        return HangUp("read", 0);
      case WaitOutcome::kError:
        return StatusFromErrno(error, "poll");
    }
  }
  return Status::Ok();
}

Status TimedWrite(int fd, const uint8_t* bytes, size_t count, const WriteTimeouts& timeouts,
                  size_t* written) {
  *written = 0;
  const Nanos deadline = Now() + Nanos(TotalWriteMs(timeouts, count)) * kNanosPerMs;
  while (*written < count) {
    ssize_t n = write(fd, bytes + *written, count - *written);
    if (n > 0) {
      *written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
      return TransferFailure(fd, errno, "write");
    int error = 0;
    WaitOutcome outcome = WaitFor(fd, POLLOUT, deadline, &error);
    if (outcome == WaitOutcome::kTimedOut) return Status::Ok();
    if (outcome == WaitOutcome::kHangUp) return HangUp("write", 0);
    if (outcome == WaitOutcome::kError) return StatusFromErrno(error, "poll");
  }
  // Let the bytes leave the transmitter; a device without an output-queue
  // query simply skips this.
  int queued = 0;
  while (ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && Now() < deadline) {
    timespec pause = ToTimespec(kNanosPerMs / 2);
    nanosleep(&pause, nullptr);
  }
  return Status::Ok();
}

}  // namespace tillgate
