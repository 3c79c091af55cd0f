// This program registered with the service control manager, started and
// removed: CreateServiceW (or ChangeServiceConfigW for one already there),
// the description and the recovery actions, StartServiceW, ControlService
// and DeleteService.

#include <windows.h>
// after windows.h
#include <winsvc.h>

#include <chrono>
#include <thread>

#include "platform/system_service.h"
#include "platform/win32/win32_status.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(SC_HANDLE handle) {
    if (handle_ != nullptr) CloseServiceHandle(handle_);
    handle_ = handle;
  }

 private:
  SC_HANDLE handle_;
};

// This program's path, quoted, then the arguments.
bool CommandLine(const std::vector<std::string>& arguments, std::wstring* line) {
  std::wstring self(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
    if (length == 0) return false;
    if (length < self.size()) {
      self.resize(length);
      break;
    }
    self.resize(self.size() * 2);
  }
  *line = L"\"" + self + L"\"";  // always quoted: "C:\Program Files\..."
  for (const std::string& argument : arguments)
    *line += L" " + QuotedArgument(WideFromUtf8(argument));
  return true;
}

// Restarted after a crash: 5 s, 10 s, then 30 s after each; the count
// starts afresh after a day. A stop with an exit code of its own (settings
// the server cannot use) is no crash and is not restarted.
Status SetRecovery(SC_HANDLE service) {
  SC_ACTION actions[3] = {
      {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 30000}};
  SERVICE_FAILURE_ACTIONSW failure{};
  failure.dwResetPeriod = 24 * 60 * 60;
  failure.cActions = 3;
  failure.lpsaActions = actions;
  if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
    return LastWin32Error("recovery actions");
  return Status::Ok();
}

Status OpenManager(DWORD access, ServiceHandle* manager) {
  manager->Reset(OpenSCManagerW(nullptr, nullptr, access));
  if (!*manager) return LastWin32Error("service manager");
  return Status::Ok();
}

}  // namespace

Status InstallSystemService(const ServiceDefinition& definition) {
  std::wstring command;
  if (!CommandLine(definition.arguments, &command)) return LastWin32Error("program path");
  const std::wstring name = WideFromUtf8(definition.name);
  const std::wstring display = WideFromUtf8(definition.display_name);
  ServiceHandle manager;
  Status opened = OpenManager(SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE, &manager);
  if (!opened.ok()) return opened;
  ServiceHandle service(CreateServiceW(manager.get(), name.c_str(), display.c_str(),
                                       SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr));
  if (!service) {
    if (GetLastError() != ERROR_SERVICE_EXISTS) return LastWin32Error("create service");
    service.Reset(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return LastWin32Error("open service");
    if (!ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START,
                              SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr,
                              L"LocalSystem", nullptr, display.c_str()))
      return LastWin32Error("change service");
  }
  std::wstring text = WideFromUtf8(definition.description);
  SERVICE_DESCRIPTIONW description{text.data()};
  if (!ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description))
    return LastWin32Error("service description");
  return SetRecovery(service.get());
}

Status StartSystemService(const std::string& name) {
  ServiceHandle manager;
  Status opened = OpenManager(SC_MANAGER_CONNECT, &manager);
  if (!opened.ok()) return opened;
  ServiceHandle service(OpenServiceW(manager.get(), WideFromUtf8(name).c_str(), SERVICE_START));
  if (!service) return LastWin32Error("open service");
  if (StartServiceW(service.get(), 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING)
    return Status::Ok();
  return LastWin32Error("start service");
}

Status RemoveSystemService(const std::string& name, int stop_wait_ms) {
  ServiceHandle manager;
  Status opened = OpenManager(SC_MANAGER_CONNECT, &manager);
  if (!opened.ok()) return opened;
  ServiceHandle service(OpenServiceW(manager.get(), WideFromUtf8(name).c_str(),
                                     SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
  if (!service) {
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST)
      return Status(Status::kNotFound, Win32ErrorText(error), static_cast<int>(error));
    return StatusFromWin32(error, "open service");
  }
  SERVICE_STATUS status{};
  if (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(stop_wait_ms);
    while (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
           std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
    return LastWin32Error("delete service");
  return Status::Ok();
}

}  // namespace tillgate
