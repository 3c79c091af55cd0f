// A program for the tests of stop and start requests under wine
// (control_probe_test.sh): it listens as the console server and the service
// will, and drives the service control manager for the test.
//
//   control_probe console LOG          waits for a console stop request
//   control_probe service NAME LOG     runs as the service NAME until stopped
//   control_probe install NAME LOG     registers itself as the service NAME
//   control_probe start NAME | control NAME stop|paramchange | state NAME | remove NAME
//
// What it hears goes to LOG, a line at a time; exit code 0 when all went
// as asked.

#include <windows.h>
// after windows.h
#include <winsvc.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/control_requests.h"
#include "platform/system_service.h"
#include "platform/win32/win32_text.h"

namespace tillgate {
namespace {

using std::chrono::seconds;

void Log(const std::string& path, const std::string& line) {
  FILE* out = _wfopen(WideFromUtf8(path).c_str(), L"ab");
  if (out == nullptr) return;
  std::fprintf(out, "%s\n", line.c_str());
  std::fclose(out);
}

int Console(const std::string& log) {
  auto requests = ListenForControlRequests();
  Log(log, "listening");
  const ControlRequest request = requests->Wait(seconds(30));
  if (request.kind != ControlRequest::Kind::kStop) return 2;
  Log(log, "stop: " + request.name);
  return 0;
}

int Service(const std::string& name, const std::string& log) {
  int exit_code = 0;
  const Status ran = RunSystemService(
      name,
      [&log](ServiceHost& host, ControlRequests& requests) {
        host.Ready("running");
        Log(log, "running");
        for (;;) {
          const ControlRequest request = requests.Wait(seconds(30));
          if (request.kind == ControlRequest::Kind::kNone) return 2;
          const bool stop = request.kind == ControlRequest::Kind::kStop;
          Log(log, (stop ? "stop: " : "start: ") + request.name);
          if (stop) {
            host.Stopping();
            return 0;
          }
        }
      },
      &exit_code);
  if (!ran.ok()) {
    Log(log, "not run as a service: " + ran.message());
    return 3;
  }
  return exit_code;
}

struct Handles {
  SC_HANDLE manager = nullptr;
  SC_HANDLE service = nullptr;
  ~Handles() {
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
  }
};

bool OpenService(const std::string& name, DWORD access, Handles* handles) {
  handles->manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!handles->manager) return false;
  handles->service = OpenServiceW(handles->manager, WideFromUtf8(name).c_str(), access);
  return handles->service != nullptr;
}

int Install(const std::string& name, const std::string& log) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring command = L"\"" + std::wstring(self) + L"\" service " + WideFromUtf8(name) +
                               L" \"" + WideFromUtf8(log) + L"\"";
  Handles handles;
  handles.manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!handles.manager) return 1;
  handles.service = CreateServiceW(
      handles.manager, WideFromUtf8(name).c_str(), WideFromUtf8(name).c_str(), SERVICE_ALL_ACCESS,
      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(),
      nullptr, nullptr, nullptr, nullptr, nullptr);
  return handles.service ? 0 : 1;
}

int Start(const std::string& name) {
  Handles handles;
  return OpenService(name, SERVICE_START, &handles) && StartServiceW(handles.service, 0, nullptr)
             ? 0
             : 1;
}

int Control(const std::string& name, const std::string& what) {
  const DWORD control = what == "stop"          ? SERVICE_CONTROL_STOP
                        : what == "paramchange" ? SERVICE_CONTROL_PARAMCHANGE
                                                : SERVICE_CONTROL_INTERROGATE;
  Handles handles;
  SERVICE_STATUS status;
  return OpenService(name, SERVICE_STOP | SERVICE_PAUSE_CONTINUE | SERVICE_INTERROGATE, &handles) &&
                 ControlService(handles.service, control, &status)
             ? 0
             : 1;
}

// "running", "stopped 0 0" (with the exit codes), ...
int State(const std::string& name) {
  Handles handles;
  SERVICE_STATUS status;
  if (!OpenService(name, SERVICE_QUERY_STATUS, &handles) ||
      !QueryServiceStatus(handles.service, &status))
    return 1;
  switch (status.dwCurrentState) {
    case SERVICE_RUNNING:
      std::printf("running\n");
      break;
    case SERVICE_STOPPED:
      std::printf("stopped %lu %lu\n", status.dwWin32ExitCode, status.dwServiceSpecificExitCode);
      break;
    case SERVICE_START_PENDING:
      std::printf("start-pending\n");
      break;
    case SERVICE_STOP_PENDING:
      std::printf("stop-pending\n");
      break;
    default:
      std::printf("state %lu\n", status.dwCurrentState);
  }
  return 0;
}

int Remove(const std::string& name) {
  Handles handles;
  return OpenService(name, DELETE, &handles) && DeleteService(handles.service) ? 0 : 1;
}

int Main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "console" && argc == 3) return Console(argv[2]);
  if (mode == "service" && argc == 4) return Service(argv[2], argv[3]);
  if (mode == "install" && argc == 4) return Install(argv[2], argv[3]);
  if (mode == "start" && argc == 3) return Start(argv[2]);
  if (mode == "control" && argc == 4) return Control(argv[2], argv[3]);
  if (mode == "state" && argc == 3) return State(argv[2]);
  if (mode == "remove" && argc == 3) return Remove(argv[2]);
  std::fprintf(stderr, "usage: control_probe console LOG | service NAME LOG | ...\n");
  return 64;
}

}  // namespace
}  // namespace tillgate

int main(int argc, char** argv) { return tillgate::Main(argc, argv); }
