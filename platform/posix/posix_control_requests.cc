// Stop and start requests on POSIX: SIGINT and SIGTERM stop, SIGHUP starts.
// The signals are blocked and read from a signalfd, so that they arrive as
// data in the one thread that waits for them instead of interrupting
// whichever thread runs; a pipe carries the requests posted from inside.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <mutex>

#include "platform/control_requests.h"

namespace tillgate {
namespace {

ControlRequest RequestFor(uint32_t signal_number) {
  switch (signal_number) {
    case SIGINT:
      return {ControlRequest::Kind::kStop, "SIGINT"};
    case SIGTERM:
      return {ControlRequest::Kind::kStop, "SIGTERM"};
    case SIGHUP:
      return {ControlRequest::Kind::kStart, "SIGHUP"};
  }
  return {};
}

class PosixControlRequests final : public ControlRequests {
 public:
  PosixControlRequests() {
    sigemptyset(&wanted_);
    sigaddset(&wanted_, SIGINT);
    sigaddset(&wanted_, SIGTERM);
    sigaddset(&wanted_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &wanted_, &previous_);
    signals_ = signalfd(-1, &wanted_, SFD_NONBLOCK | SFD_CLOEXEC);
    // Without the descriptor the signals could never be read: they keep
    // their default effect rather than be held back for ever.
    if (signals_ < 0) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    if (pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;
  }

  ~PosixControlRequests() override {
    if (signals_ >= 0) {
      close(signals_);
      pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    for (const int fd : wake_)
      if (fd >= 0) close(fd);
  }

  ControlRequest Wait(std::chrono::milliseconds timeout) override {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    while (true) {
      if (ControlRequest request = Taken(); request.kind != ControlRequest::Kind::kNone)
        return request;
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return {};
      pollfd watched[2] = {{signals_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(watched, 2, static_cast<int>(left.count())) > 0 && (watched[1].revents & POLLIN))
        DrainWakeUps();
    }
  }

  void Post(ControlRequest request) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      posted_.push_back(std::move(request));
    }
    // A full pipe already holds a wake-up.
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(wake_[1], &byte, 1);
  }

 private:
  // A request posted, else a signal that came, else none.
  ControlRequest Taken() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!posted_.empty()) {
        ControlRequest request = std::move(posted_.front());
        posted_.pop_front();
        return request;
      }
    }
    signalfd_siginfo info{};
    while (signals_ >= 0) {
      const ssize_t got = read(signals_, &info, sizeof info);
      if (got == static_cast<ssize_t>(sizeof info)) return RequestFor(info.ssi_signo);
      if (got < 0 && errno == EINTR) continue;
      break;
    }
    return {};
  }

  void DrainWakeUps() {
    char bytes[64];
    while (read(wake_[0], bytes, sizeof bytes) > 0) {
    }
  }

  sigset_t wanted_{};
  sigset_t previous_{};
  int signals_ = -1;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<ControlRequest> posted_;
};

}  // namespace

std::unique_ptr<ControlRequests> ListenForControlRequests() {
  return std::make_unique<PosixControlRequests>();
}

void IgnoreBrokenPipes() { signal(SIGPIPE, SIG_IGN); }

}  // namespace tillgate
