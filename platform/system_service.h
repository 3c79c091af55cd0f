#pragma once
// Running the server as a service where the system's service manager starts
// services through a dispatcher of its own (Windows) rather than as plain
// programs (systemd, which the plain service host serves).

#include <functional>
#include <string>
#include <vector>

#include "platform/control_requests.h"
#include "platform/service_host.h"
#include "platform/status.h"

namespace tillgate {

// The server itself: runs until `requests` brings a stop, tells `host` how
// it is doing, and returns the process's exit code.
using ServiceBody = std::function<int(ServiceHost& host, ControlRequests& requests)>;

// Runs `body` as the service `name` in a process the service manager
// started (the program's service switch; a program started otherwise would
// wait for a manager that never calls). On Windows: StartServiceCtrlDispatcherW;
// the service is start-pending until the body calls Ready (then running),
// stop-pending from Stopping or a stop on; STOP and SHUTDOWN reach the body
// as stop requests ("service stop", "system shutdown"), PARAMCHANGE as a
// start request ("service paramchange"); the service is stopped with the
// body's exit code when it returns.
// Ok with *exit_code set when the body ran; a failure when it could not
// (not started by the manager: kNotSupported elsewhere).
Status RunSystemService(const std::string& name, const ServiceBody& body, int* exit_code);

// This program as a service of the system's service manager.
struct ServiceDefinition {
  std::string name;          // "Tillgate"
  std::string display_name;  // what the manager lists
  std::string description;
  std::vector<std::string> arguments;  // after the program's path: {"--service"}
};

// Registers this program (its own path, with `service.arguments`) as the
// service: started with the system under the system's own account, and
// started again after it crashed (5 s, 10 s, then 30 s later; the count
// starts afresh after a day without a crash). A service of that name is
// brought up to date. Elsewhere kNotSupported: systemd's unit comes with
// the package.
Status InstallSystemService(const ServiceDefinition& service);
// Starts the service; ok when it runs or is starting already.
Status StartSystemService(const std::string& name);
// Stops the service (waits up to `stop_wait_ms` for it to stop) and deletes
// it. kNotFound when no service of that name is registered.
Status RemoveSystemService(const std::string& name, int stop_wait_ms = 30000);

}  // namespace tillgate
