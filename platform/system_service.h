#pragma once
// Running the server as a service where the system's service manager starts
// services through a dispatcher of its own (Windows) rather than as plain
// programs (systemd, which the plain service host serves).

#include <functional>
#include <string>

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

}  // namespace tillgate
