#include "app/headless/headless.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless/check.h"
#include "app/headless/service_status.h"
#include "app/headless/settings_check.h"
#include "app/headless/stderr_sink.h"
#include "config/condition_filter.h"
#include "config/reg_file_store.h"
#include "config/settings.h"
#include "config/version.h"
#include "engine/station.h"
#include "engine/store_factory.h"
#include "line/trace_options.h"
#include "platform/control_requests.h"
#include "platform/locations.h"
#include "platform/platform.h"
#include "platform/service_host.h"

namespace tillgate {
namespace {

// How often the service status is looked at again while the server runs.
constexpr std::chrono::seconds kStatusCheck{2};

void PrintUsage(std::FILE* out, const char* invocation) {
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

int Serve(const Settings& settings, const TraceOptions& trace, const std::string& state_folder,
          EventSink* events) {
  // Taken before the station starts any thread, so that none of them ends
  // the process on a stop request.
  auto requests = ListenForControlRequests();
  auto host = NewSystemServiceHost();
  ControlRequest request;
  {
    StationOptions options(SystemServices());
    options.events = events;
    // The journal of open documents: what a stop or a crash must not lose.
    // Nobody looks at a goods view here: none is kept.
    options.make_store = ServerStoreFactory(state_folder, GoodsView::kNotShown);
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
    host->Ready(status);
    while (true) {
      request = requests->Wait(kStatusCheck);
      if (std::string now = ServiceStatusText(station.Status().Snapshot()); now != status) {
        status = std::move(now);
        host->SetStatus(status);
      }
      if (request.kind == ControlRequest::Kind::kStart) {
        // As the window's "Запуск" does: the diagnostics rows are cleared.
        Report(events, Severity::kNotice, request.name + ": Start with the stored start selection");
        engine.PostStart(station.StoredStartBoxes(), true);
      } else if (request.kind == ControlRequest::Kind::kStop) {
        break;
      }
    }
    host->Stopping();
    Report(events, Severity::kNotice, "stopping on " + request.name);
    engine.Stop();
  }
  requests.reset();
  Report(events, Severity::kNotice, "stopped");
  return 0;
}

}  // namespace

int RunHeadless(int argc, char** argv, const char* invocation) {
  bool check = false;
  bool check_settings = false;
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
    std::fprintf(stderr, "%s: unknown argument '%s'\n", invocation, argv[i]);
    PrintUsage(stderr, invocation);
    return 2;
  }
  const EnvironmentReader environment = SystemEnvironment();
  const std::string registry_path = SettingsFilePath(environment);
  const std::string state_folder = StateFolderPath(environment);
  if (check) return RunCheck(registry_path, WorkingFolder(), state_folder, stdout);
  trace.folder = TraceFolder(trace, state_folder);

  // Event lines go to standard error; a reader that goes away must cost the
  // lines, never the registers being served (nor a document half written).
  IgnoreBrokenPipes();
  StderrSink sink;
  if (check_settings) return RunSettingsCheck(registry_path, WorkingFolder(), &sink);
  ConditionFilter events(&sink);
  LoadResult loaded = LoadServerSettings(registry_path, WorkingFolder());
  if (!loaded.status.ok()) {
    Report(&events, Severity::kError, loaded.status.message());
    return kExitSettingsRefused;
  }
  Report(&events, "settings from " + registry_path);
  if (!loaded.settings.installed)
    Report(&events, Severity::kWarning, NotInstalledReason(SystemFileSystem(), registry_path));
  if (trace.ports.any()) Report(&events, "protocol traces go to " + trace.folder);
  return Serve(loaded.settings, trace, state_folder, &events);
}

}  // namespace tillgate
