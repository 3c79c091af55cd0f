#include "app/headless/headless.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless/check.h"
#include "app/headless/log_file_sink.h"
#include "app/headless/service_setup.h"
#include "app/headless/service_status.h"
#include "app/headless/settings_check.h"
#include "app/headless/settings_source.h"
#include "app/headless/settings_transfer_command.h"
#include "app/headless/stderr_sink.h"
#include "config/condition_filter.h"
#include "config/settings.h"
#include "config/version.h"
#include "engine/station.h"
#include "engine/store_factory.h"
#include "line/trace_options.h"
#include "platform/control_requests.h"
#include "platform/locations.h"
#include "platform/platform.h"
#include "platform/service_host.h"
#include "platform/system_registry.h"
#include "platform/system_service.h"

namespace tillgate {
namespace {

// How often the service status is looked at again while the server runs.
constexpr std::chrono::seconds kStatusCheck{2};

// Where the system has a registry (Windows) the server reads it and its
// usage says so.
void PrintWindowsUsage(std::FILE* out, const char* invocation) {
  std::fprintf(out,
               "usage: %s [--check | --check-settings | --version | --help] [--trace=LIST]\n"
               "       [--trace-dir=DIR]\n"
               "       %s --import FILE | --export FILE\n"
               "       %s --install-service | --remove-service | --service\n"
               "Runs the cash-register server without a window. Settings come from the\n"
               "registry key HKEY_CURRENT_USER\\Tillgate (the service's from\n"
               "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tillgate; a settings file when\n"
               "%%TILLGATE_REGISTRY%% names one). One line per notable event goes to\n"
               "standard error with its level (the service's to tillgate.log in its state\n"
               "folder).\n"
               "\n"
               "  --check    print the configuration the server would run with, the key\n"
               "             it is read from and every problem found; exit 1 on a\n"
               "             problem. Opens no port.\n"
               "  --check-settings\n"
               "             check only what would keep the server from starting; say\n"
               "             why and exit 78, else exit 0 silently.\n"
               "  --import FILE\n"
               "             write the settings of a registry file (REGEDIT4 or version\n"
               "             5.00, as exported here or kept on Linux) into the key\n"
               "  --export FILE\n"
               "             write the key's settings to FILE as regedit exports them\n"
               "  --install-service\n"
               "             register the server as the service Tillgate (copying these\n"
               "             settings to the machine's key when it has none) and start it\n"
               "             once settings exist; needs an administrator\n"
               "  --remove-service\n"
               "             stop and remove the service; settings, journal and the\n"
               "             shop's files stay\n"
               "  --service  run under the service manager (as the service is registered)\n"
               "  --version  print the version\n"
               "  --help     this text\n"
               "%s"
               "\n"
               "Ctrl+C or closing the console stops the server after the current tick.\n",
               invocation, invocation, invocation, kTraceUsage);
}

void PrintUsage(std::FILE* out, const char* invocation) {
  if (OpenSystemRegistry(RegistryRoot::kCurrentUser) != nullptr) {
    PrintWindowsUsage(out, invocation);
    return;
  }
  std::fprintf(out,
               "usage: %s [--check | --check-settings | --version | --help] [--trace=LIST]\n"
               "       [--trace-dir=DIR]\n"
               "Runs the cash-register server without a window. Settings come from the\n"
               "registry file ($TILLGATE_REGISTRY, else\n"
               "$XDG_CONFIG_HOME/tillgate/HKEY_CURRENT_USER.reg). One line per notable event\n"
               "goes to standard error, with its level (the journal's priority prefix when\n"
               "standard error is the journal).\n"
               "\n"
               "  --check    print the configuration the server would run with and every\n"
               "             problem found (folders, goods file, serial devices, Windows\n"
               "             paths); exit 1 on a problem. Opens no port.\n"
               "  --check-settings\n"
               "             check only what would keep the server from starting (a\n"
               "             settings file that cannot be read or parsed, a value of the\n"
               "             wrong type): say why and exit 78, else exit 0 silently. The\n"
               "             service runs it before it starts the server.\n"
               "  --version  print the version\n"
               "  --help     this text\n"
               "%s"
               "\n"
               "Signals: SIGHUP runs the Start action again with the stored start\n"
               "selection; SIGINT or SIGTERM stops the server after the current tick.\n",
               invocation, kTraceUsage);
}

// Serves until a stop request: the station built, the stored selection
// started, the service manager told how the lines are.
int Serve(const Settings& settings, const TraceOptions& trace, const std::string& state_folder,
          EventSink* events, ServiceHost& host, ControlRequests& requests) {
  ControlRequest request;
  {
    StationOptions options(SystemServices());
    options.events = events;
    // The journal of open documents: what a stop or a crash must not lose.
    options.make_store = ServerStoreFactory(state_folder);
    options.trace = trace;
    // What it does, for monitoring tools; a server that is not installed
    // serves nothing and keeps nothing in the state folder.
    if (settings.installed) options.status_folder = state_folder;
    Station station(settings, std::move(options));
    Engine& engine = station.GetEngine();
    // The stored selection starts at once, as automatic start would.
    if (!station.AutoStarted()) engine.Start(station.StoredStartBoxes(), false);
    engine.Launch();
    // The lines as they are now, and again whenever that changes (a port
    // opened by a rescan, a line that hung up).
    std::string status = ServiceStatusText(station.Status().Snapshot());
    host.Ready(status);
    while (true) {
      request = requests.Wait(kStatusCheck);
      if (std::string now = ServiceStatusText(station.Status().Snapshot()); now != status) {
        status = std::move(now);
        host.SetStatus(status);
      }
      if (request.kind == ControlRequest::Kind::kStart) {
        // As the window's "Запуск" does: the diagnostics rows are cleared.
        Report(events, Severity::kNotice, request.name + ": Start with the stored start selection");
        engine.PostStart(station.StoredStartBoxes(), true);
      } else if (request.kind == ControlRequest::Kind::kStop) {
        break;
      }
    }
    host.Stopping();
    Report(events, Severity::kNotice, "stopping on " + request.name);
    engine.Stop();
  }
  Report(events, Severity::kNotice, "stopped");
  return 0;
}

// Loads the settings and serves with them; kExitSettingsRefused when they
// cannot be used.
int LoadAndServe(const SettingsSource& source, const TraceOptions& trace,
                 const std::string& state_folder, EventSink* sink, ServiceHost& host,
                 ControlRequests& requests) {
  ConditionFilter events(sink);
  LoadResult loaded = LoadServerSettings(source, WorkingFolder());
  if (!loaded.status.ok()) {
    Report(&events, Severity::kError, loaded.status.message());
    return kExitSettingsRefused;
  }
  Report(&events, "settings from " + source.Where());
  if (!loaded.settings.installed)
    Report(&events, Severity::kWarning, NotInstalledReason(SystemFileSystem(), source));
  if (trace.ports.any()) Report(&events, "protocol traces go to " + trace.folder);
  return Serve(loaded.settings, trace, state_folder, &events, host, requests);
}

// Under the system's service manager: event lines into the log in the
// state folder, stop and start requests from the manager.
int RunService(const SettingsSource& source, const TraceOptions& trace,
               const std::string& state_folder, const char* invocation) {
  LogFileSink log(NewTraceFile(SystemFileSystem(), state_folder, kServiceLogName),
                  kServiceLogLimit);
  int exit_code = 0;
  const Status ran = RunSystemService(
      kServiceName,
      [&](ServiceHost& host, ControlRequests& requests) {
        return LoadAndServe(source, trace, state_folder, &log, host, requests);
      },
      &exit_code);
  if (!ran.ok()) {
    std::fprintf(stderr, "%s: --service: %s (the service manager starts it so)\n", invocation,
                 ran.message().c_str());
    return 1;
  }
  return exit_code;
}

}  // namespace

int RunHeadless(int argc, char** argv, const char* invocation) {
  UseUtf8ForConsoleText();
  bool check = false;
  bool check_settings = false;
  bool service = false;
  ServiceAction service_action = ServiceAction::kNone;
  std::string import_file;
  std::string export_file;
  TraceOptions trace;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) continue;
    std::string trace_error;
    const TraceArgument traced = TakeTraceArgument(argv[i], &trace, &trace_error);
    if (traced == TraceArgument::kTaken) continue;
    if (traced == TraceArgument::kWrong) {
      std::fprintf(stderr, "%s: %s\n", invocation, trace_error.c_str());
      return 2;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage(stdout, invocation);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      PrintVersion();
      return 0;
    }
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
      continue;
    }
    if (std::strcmp(argv[i], "--check-settings") == 0) {
      check_settings = true;
      continue;
    }
    if (std::strcmp(argv[i], "--service") == 0) {
      service = true;
      continue;
    }
    if (std::strcmp(argv[i], "--install-service") == 0) {
      service_action = ServiceAction::kInstall;
      continue;
    }
    if (std::strcmp(argv[i], "--remove-service") == 0) {
      service_action = ServiceAction::kRemove;
      continue;
    }
    std::string* file = std::strcmp(argv[i], "--import") == 0   ? &import_file
                        : std::strcmp(argv[i], "--export") == 0 ? &export_file
                                                                : nullptr;
    if (file != nullptr) {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        std::fprintf(stderr, "%s: %s needs a file name\n", invocation, argv[i]);
        return 2;
      }
      *file = argv[++i];
      continue;
    }
    std::fprintf(stderr, "%s: unknown argument '%s'\n", invocation, argv[i]);
    PrintUsage(stderr, invocation);
    return 2;
  }
  const EnvironmentReader environment = SystemEnvironment();
  const Runner runner = service ? Runner::kService : Runner::kConsole;
  const SettingsSource source = SettingsSource::ForServer(environment, runner);
  const std::string state_folder = StateFolderPath(environment, runner);
  if (check) return RunCheck(source, WorkingFolder(), state_folder, stdout);
  if (!import_file.empty()) return RunImport(source, import_file, stdout, stderr);
  if (!export_file.empty()) return RunExport(source, export_file, stdout, stderr);
  if (service_action != ServiceAction::kNone)
    return RunServiceAction(service_action, stdout, stderr);
  trace.folder = TraceFolder(trace, state_folder);
  if (service) return RunService(source, trace, state_folder, invocation);

  // Event lines go to standard error; a reader that goes away must cost the
  // lines, never the registers being served (nor a document half written).
  IgnoreBrokenPipes();
  StderrSink sink;
  if (check_settings) return RunSettingsCheck(source, WorkingFolder(), &sink);
  // Taken before the station starts any thread, so that none of them ends
  // the process on a stop request.
  auto requests = ListenForControlRequests();
  auto host = NewSystemServiceHost();
  return LoadAndServe(source, trace, state_folder, &sink, *host, *requests);
}

}  // namespace tillgate
