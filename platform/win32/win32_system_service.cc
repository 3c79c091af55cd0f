// The server as a Windows service: the service control manager calls
// ServiceMain on a thread of its dispatcher, and the control handler on the
// dispatcher's own (this process's main) thread; both reach the one
// running service through `running`.

#include <windows.h>
// after windows.h
#include <winsvc.h>

#include <mutex>

#include "platform/system_service.h"
#include "platform/win32/request_queue.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

// How long the manager should wait for the next word while starting or
// stopping before it takes the service for hung.
constexpr DWORD kPendingHintMs = 30000;

class ServiceStatusReporter {
 public:
  // The handle comes from registering the control handler, which may be
  // called (to interrogate) before the first report.
  void Attach(SERVICE_STATUS_HANDLE handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    handle_ = handle;
  }

  void Report(DWORD state, DWORD exit_code = 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A stop under way is not undone by a late "running".
    if (state == SERVICE_RUNNING && status_.dwCurrentState == SERVICE_STOP_PENDING) return;
    status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    // Each word of a pending state counts one step on.
    status_.dwCheckPoint = !pending                          ? 0
                           : state == status_.dwCurrentState ? status_.dwCheckPoint + 1
                                                             : 1;
    status_.dwCurrentState = state;
    status_.dwControlsAccepted =
        state == SERVICE_RUNNING
            ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE
            : 0;
    status_.dwWin32ExitCode = exit_code == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    status_.dwServiceSpecificExitCode = exit_code;
    status_.dwWaitHint = pending ? kPendingHintMs : 0;
    if (handle_ != nullptr) SetServiceStatus(handle_, &status_);
  }

  // INTERROGATE: the manager asks for the status again.
  void Repeat() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle_ != nullptr) SetServiceStatus(handle_, &status_);
  }

 private:
  std::mutex mutex_;
  SERVICE_STATUS_HANDLE handle_ = nullptr;
  SERVICE_STATUS status_{};
};

class WindowsServiceHost final : public ServiceHost {
 public:
  explicit WindowsServiceHost(ServiceStatusReporter* reporter) : reporter_(reporter) {}
  void Ready(std::string_view) override { reporter_->Report(SERVICE_RUNNING); }
  // The manager keeps no status text.
  void SetStatus(std::string_view) override {}
  void Stopping() override { reporter_->Report(SERVICE_STOP_PENDING); }

 private:
  ServiceStatusReporter* reporter_;
};

// What the control handler reaches while the body runs.
struct ServiceControls {
  ServiceStatusReporter* reporter;
  RequestQueue* requests;
};

DWORD WINAPI OnServiceControl(DWORD control, DWORD, void*, void* context) {
  auto* controls = static_cast<ServiceControls*>(context);
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      // Told at once: the manager waits for the word before anything else.
      controls->reporter->Report(SERVICE_STOP_PENDING);
      controls->requests->Post(
          ControlRequest{ControlRequest::Kind::kStop,
                         control == SERVICE_CONTROL_STOP ? "service stop" : "system shutdown"});
      return NO_ERROR;
    case SERVICE_CONTROL_PARAMCHANGE:
      controls->requests->Post(ControlRequest{ControlRequest::Kind::kStart, "service paramchange"});
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      controls->reporter->Repeat();
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// The one service this process runs, for ServiceMain, which the manager
// calls without a context.
struct RunningService {
  std::wstring name;
  const ServiceBody* body = nullptr;
  int exit_code = 0;
  bool ran = false;
  Status failure;
};

RunningService* running = nullptr;

// The handler is registered with the controls it reaches, which live until
// the service is reported stopped; the manager sends nothing after that.
void WINAPI ServiceMain(DWORD, LPWSTR*) {
  RunningService& service = *running;
  RequestQueue requests;
  ServiceStatusReporter status;
  ServiceControls controls{&status, &requests};
  SERVICE_STATUS_HANDLE handle =
      RegisterServiceCtrlHandlerExW(service.name.c_str(), OnServiceControl, &controls);
  if (handle == nullptr) {
    service.failure = LastWin32Error("RegisterServiceCtrlHandlerEx");
    return;
  }
  status.Attach(handle);
  status.Report(SERVICE_START_PENDING);
  WindowsServiceHost host(&status);
  service.exit_code = (*service.body)(host, requests);
  service.ran = true;
  status.Report(SERVICE_STOPPED, static_cast<DWORD>(service.exit_code));
}

}  // namespace

Status RunSystemService(const std::string& name, const ServiceBody& body, int* exit_code) {
  RunningService service;
  if (!WideFromUtf8(name, &service.name) || service.name.empty())
    return Status(Status::kError, "the service name is not valid UTF-8");
  service.body = &body;
  running = &service;
  SERVICE_TABLE_ENTRYW table[] = {{service.name.data(), ServiceMain}, {nullptr, nullptr}};
  const bool dispatched = StartServiceCtrlDispatcherW(table);
  const Status result = dispatched ? service.failure : LastWin32Error("StartServiceCtrlDispatcher");
  running = nullptr;
  if (!result.ok()) return result;
  if (!service.ran) return Status(Status::kError, "the service manager never started the service");
  *exit_code = service.exit_code;
  return Status::Ok();
}

}  // namespace tillgate
