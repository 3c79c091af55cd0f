#pragma once
// `--install-service` and `--remove-service`: the server registered with
// the system's service manager (Windows; systemd's unit comes with the
// Linux package), and removed again without touching the settings, the
// journal or the shop's files.

#include <cstdio>

namespace tillgate {

// The service's name, as the service manager and the event lines name it.
inline constexpr char kServiceName[] = "Tillgate";

enum class ServiceAction { kNone, kInstall, kRemove };

// kInstall: fills HKEY_LOCAL_MACHINE\SOFTWARE\Tillgate from the installing
// user's HKEY_CURRENT_USER\Tillgate when the machine has no settings yet,
// registers this program with --service (started with the system, started
// again after a crash) and starts it when the machine has settings.
// kRemove: stops and removes the service. Says what it did on `out`, why
// not on `err`; 0 when done, 1 otherwise.
int RunServiceAction(ServiceAction action, std::FILE* out, std::FILE* err);

}  // namespace tillgate
