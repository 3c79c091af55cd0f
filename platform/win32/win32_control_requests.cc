// Stop requests from the console: Ctrl+C, Ctrl+Break, the console window
// closed, the user logging off, the system shutting down. Windows ends the
// process as soon as the handler returns from the last three, so the
// handler waits there (within the few seconds Windows allows) until the
// server has stopped and let go of the listener.

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/control_requests.h"
#include "platform/win32/request_queue.h"

namespace tillgate {
namespace {

class ConsoleRequests;

std::mutex listener_mutex;
std::condition_variable listener_gone;
ConsoleRequests* listener = nullptr;

// Windows allows about five seconds after a close before it ends the
// process itself.
constexpr auto kCloseGrace = std::chrono::milliseconds(4500);

const char* NameOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
      return "Ctrl+C";
    case CTRL_BREAK_EVENT:
      return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
      return "console closed";
    case CTRL_LOGOFF_EVENT:
      return "logoff";
    case CTRL_SHUTDOWN_EVENT:
      return "system shutdown";
    default:
      return nullptr;
  }
}

BOOL WINAPI OnConsoleEvent(DWORD event);

class ConsoleRequests final : public RequestQueue {
 public:
  ConsoleRequests() {
    std::lock_guard<std::mutex> lock(listener_mutex);
    listener = this;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
  }
  ~ConsoleRequests() override {
    {
      std::lock_guard<std::mutex> lock(listener_mutex);
      if (listener == this) listener = nullptr;
    }
    listener_gone.notify_all();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  }
};

BOOL WINAPI OnConsoleEvent(DWORD event) {
  const char* name = NameOf(event);
  std::unique_lock<std::mutex> lock(listener_mutex);
  if (name == nullptr || listener == nullptr) return FALSE;  // Windows' own handling
  listener->Post(ControlRequest{ControlRequest::Kind::kStop, name});
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    listener_gone.wait_for(lock, kCloseGrace, [] { return listener == nullptr; });
  return TRUE;
}

}  // namespace

std::unique_ptr<ControlRequests> ListenForControlRequests() {
  return std::make_unique<ConsoleRequests>();
}

// Windows raises no signal for a pipe whose reader went away: the write
// fails, which is all the caller needs.
void IgnoreBrokenPipes() {}

}  // namespace tillgate
