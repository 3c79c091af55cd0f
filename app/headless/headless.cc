#include "app/headless/headless.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/headless/check.h"
#include "app/headless/service_notify.h"
#include "app/headless/settings_check.h"
#include "app/headless/stderr_sink.h"
#include "config/condition_filter.h"
#include "config/reg_file_store.h"
#include "config/settings.h"
#include "config/state_folder.h"
#include "config/version.h"
#include "engine/station.h"
#include "engine/store_factory.h"
#include "line/trace_options.h"

namespace tillgate {
namespace {

// How often the service status is looked at again while the server runs.
constexpr int kStatusCheckSeconds = 2;

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

std::string WorkingFolder() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer)) return buffer;
  return ".";
}

// Blocks the signals the server waits for in this thread and in every thread
// started after it, so that only the wait below takes them.
sigset_t BlockServerSignals(sigset_t* previous) {
  sigset_t wanted;
  sigemptyset(&wanted);
  sigaddset(&wanted, SIGINT);
  sigaddset(&wanted, SIGTERM);
  sigaddset(&wanted, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &wanted, previous);
  return wanted;
}

// The next signal of `wanted`, or 0 when `seconds` pass without one.
int WaitForSignal(const sigset_t& wanted, int seconds) {
  const timespec timeout{seconds, 0};
  while (true) {
    const int number = sigtimedwait(&wanted, nullptr, &timeout);
    if (number > 0) return number;
    if (errno == EAGAIN) return 0;
  }
}

int Serve(const Settings& settings, const TraceOptions& trace, EventSink* events) {
  sigset_t previous;
  const sigset_t wanted = BlockServerSignals(&previous);
  int signal_number = 0;
  {
    StationOptions options;
    options.events = events;
    // The journal of open documents: what a stop or a crash must not lose.
    options.make_store = ServerStoreFactory(StateFolderPath());
    options.trace = trace;
    // What it does, for monitoring tools; a server that is not installed
    // serves nothing and keeps nothing in the state folder.
    if (settings.installed) options.status_folder = StateFolderPath();
    Station station(settings, std::move(options));
    Engine& engine = station.GetEngine();
    // The stored selection starts at once, as automatic start would.
    if (!station.AutoStarted()) engine.Start(station.StoredStartBoxes(), false);
    engine.Launch();
    // The lines as they are now, and again whenever that changes (a port
    // opened by a rescan, a line that hung up).
    std::string status = ServiceStatusText(station.Status().Snapshot());
    NotifyReady(status);
    while (true) {
      signal_number = WaitForSignal(wanted, kStatusCheckSeconds);
      if (std::string now = ServiceStatusText(station.Status().Snapshot()); now != status) {
        status = std::move(now);
        NotifyStatus(status);
      }
      if (signal_number == SIGHUP) {
        // As the window's "Запуск" does: the diagnostics rows are cleared.
        Report(events, Severity::kNotice, "SIGHUP: Start with the stored start selection");
        engine.PostStart(station.StoredStartBoxes(), true);
      } else if (signal_number != 0) {
        break;
      }
    }
    NotifyStopping();
    Report(events, Severity::kNotice,
           std::string("stopping on ") + (signal_number == SIGINT ? "SIGINT" : "SIGTERM"));
    engine.Stop();
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
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
  const std::string registry_path = DefaultRegistryPath();
  if (check) return RunCheck(registry_path, WorkingFolder(), StateFolderPath(), stdout);

  // Event lines go to standard error; a reader that goes away must cost the
  // lines, never the registers being served (nor a document half written).
  signal(SIGPIPE, SIG_IGN);
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
    Report(&events, Severity::kWarning, NotInstalledReason(registry_path));
  if (trace.ports.any()) Report(&events, "protocol traces go to " + TraceFolder(trace));
  return Serve(loaded.settings, trace, &events);
}

}  // namespace tillgate
